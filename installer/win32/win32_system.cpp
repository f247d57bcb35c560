#include "win32_system.h"

#include <windows.h>

namespace installer {
namespace {

constexpr WORD kPayloadType = 3000;

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

// The editors that load the x86 plug-in are 32-bit programs: read their software keys as they
// see them, also from the x64 build. File associations are shared by both views.
class Key {
 public:
  Key(RegRoot root, const std::string& path) {
    const REGSAM view = root == RegRoot::ClassesRoot ? 0 : KEY_WOW64_32KEY;
    if (RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_READ | view, &key_) != ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string StringData(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  std::string s(reinterpret_cast<const char*>(data.data()), size);
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (ok()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

BOOL CALLBACK AddPayload(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param) {
  auto* out = reinterpret_cast<std::vector<Payload>*>(param);
  HRSRC res = FindResourceA(module, name, type);
  HGLOBAL data = res ? LoadResource(module, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) return TRUE;
  Payload p;
  p.name = IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name);
  p.bytes.assign(static_cast<const char*>(bytes), SizeofResource(module, res));
  out->push_back(std::move(p));
  return TRUE;
}

}  // namespace

std::vector<RegValue> Win32System::Values(RegRoot root, const std::string& key) {
  std::vector<RegValue> out;
  Key k(root, key);
  if (!k.get()) return out;
  DWORD maxName = 0, maxData = 0;
  if (RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return out;
  std::vector<char> name(maxName + 2);
  std::vector<BYTE> data(maxData + 2);
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = DWORD(name.size()), dataLen = DWORD(data.size()), type = 0;
    LONG rc = RegEnumValueA(k.get(), i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    RegValue v;
    v.name.assign(name.data(), nameLen);
    v.isString = type == REG_SZ || type == REG_EXPAND_SZ;
    v.data = StringData(type, data, dataLen);
    out.push_back(std::move(v));
  }
  return out;
}

std::vector<std::string> Win32System::Subkeys(RegRoot root, const std::string& key) {
  std::vector<std::string> out;
  Key k(root, key);
  if (!k.get()) return out;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    LONG rc = RegEnumKeyExA(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS) out.emplace_back(name, len);
  }
  return out;
}

std::optional<std::string> Win32System::DefaultValue(RegRoot root, const std::string& key) {
  Key k(root, key);
  if (!k.get()) return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(k.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::vector<BYTE> data(size + 2);
  size = DWORD(data.size());
  if (RegQueryValueExA(k.get(), nullptr, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  return StringData(type, data, size);
}

bool Win32System::SetCurrentFolder(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != 0; }

std::string Win32System::CurrentFolder() {
  char buf[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

bool Win32System::CreateFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

std::vector<DirEntry> Win32System::ListFolder(const std::string& path) {
  std::vector<DirEntry> out;
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(pattern.c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    out.push_back(DirEntry{fd.cFileName, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(find, &fd));
  FindClose(find);
  return out;
}

std::optional<std::string> Win32System::ReadFile(const std::string& path) {
  Handle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return std::nullopt;
  LARGE_INTEGER size;
  // Settings files are small; anything huge is not one.
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > (64 << 20)) return std::nullopt;
  std::string bytes(size_t(size.QuadPart), '\0');
  DWORD got = 0;
  if (!bytes.empty() && (!::ReadFile(f.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr) || got != bytes.size()))
    return std::nullopt;
  return bytes;
}

bool Win32System::WriteFile(const std::string& path, const std::string& bytes) {
  bool done = false;
  {
    Handle f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok()) return false;
    DWORD put = 0;
    done = ::WriteFile(f.get(), bytes.data(), DWORD(bytes.size()), &put, nullptr) && put == bytes.size();
  }
  // A plug-in cut short would fail in the host in ways nobody could trace back here.
  if (!done) DeleteFileA(path.c_str());
  return done;
}

std::string Win32System::WindowsFolder() {
  char buf[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryA(buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string("C:\\Windows");
}

std::vector<Payload> LoadPayloads() {
  std::vector<Payload> out;
  EnumResourceNamesA(nullptr, MAKEINTRESOURCEA(kPayloadType), AddPayload, reinterpret_cast<LONG_PTR>(&out));
  return out;
}

}  // namespace installer
