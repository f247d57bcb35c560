#include "HnCode/HnErrorCode.h"

#include <cstring>

namespace {
HnErrorHook g_errorHook = nullptr;
HnAssertHook g_assertHook = nullptr;

const char* const kMessages[] = {
    "The operation could not be completed because of an unknown error.",
    "The operation could not be completed because of an unknown error.",
    "The operation could not be completed because there was not enough memory.",
    "The operation could not be completed because of an unknown error.",
    "The operation could not be completed because a file was not specified.",
    "The file operation could not be completed because of an incorrect I/O permissions.",
    "The operation could not be completed because there is no such volume.",
    "The operation could not be completed because of an I/O error.",
    "The file operation could not be completed because of a bad file name.",
    "The file could not be opened because there are too many files open currently.",
    "The file could not be found.",
    "The file is already open.",
    "The file could be opened because of a permissions error.",
    "The specified directory could not be found.",
    "The file operation could not be performed because the required permissions are not present.",
    "The file operation could not be performed because the file is not open.",
    "The file operation could not be performed because of a bad file reference number.",
    "The operation could not be performed because of an external file system error.",
    "The file operation could not be performed because of a an unexpected end of file error.",
    "The file operation could not be performed because of a positioning error.",
    "The file operation could not be completed because the file is locked.",
    "The operation could not be performed because of a parameter error.",
    "The file operation could not be completed because of a disk full error.",
    "The file operation could not be performed because the volume is write protected.",
    "The file operation could not be performed because the volume is locked.",
    "The file could not be performed because of a duplicate file name.",
    "The operation could not be performed because of a bad list index error.",
    "The operation could not be performed because of an internal error.",
    "The operation could not be completed because of a data error.",
    "The operation could not be completed because of an overflow error.",
    "The operation could not be completed because of a divide by zero error.",
    "The file operation could not be completed because a file by that name already exists.",
    "The file operation could not be performed because the file is not of the expected format.",
    "The file operation could not be performed because the file is of an unsupported version of the format.",
    "The operation could not be completed because of an internal error.",
    "The operation could not be completed because of a resource error.",
    "The operation could not be completed because of drag error.",
};
}  // namespace

HnErrorCode::HnErrorCode(int32_t code, int32_t systemCode, const char* file, int32_t line)
    : code_(code), systemCode_(systemCode), file_{}, line_(line) {
  size_t n = file ? std::strlen(file) : 0;
  if (n > kMaxFile) {
    file += n - kMaxFile;  // the end of a long path names the file
    n = kMaxFile;
  }
  file_[0] = static_cast<char>(static_cast<unsigned char>(n));
  if (n) std::memcpy(file_ + 1, file, n);
  if ((code != 0 || systemCode != 0) && g_errorHook) g_errorHook(*this);
}

void HnSetErrorHook(HnErrorHook hook) { g_errorHook = hook; }
void HnSetAssertHook(HnAssertHook hook) { g_assertHook = hook; }

void HnPreconditionFailed(const char* file, int32_t line) {
  if (g_assertHook) g_assertHook(file, line);
  throw HnErrorCode(kHnErrParameter, 0, file, line);
}

const char* HnErrorMessage(int32_t code) {
  constexpr int32_t n = static_cast<int32_t>(sizeof(kMessages) / sizeof(kMessages[0]));
  return kMessages[code >= 0 && code < n ? code : 1];
}
