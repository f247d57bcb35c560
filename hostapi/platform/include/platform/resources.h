#pragma once
// A plug-in's own resources as a table, for builds without a Windows resource section.
// The table is generated from the same description as the Windows resource script, so the
// headless platform layer reports exactly what a Windows user would see, and plughost reads
// the same PiPL bytes from a native module as from a DLL.
#include <cstdint>
#include <cstring>

namespace qm::res {

enum class ItemKind : uint8_t {
  Ltext, Ctext, Rtext, Icon, Bitmap, Pushbutton, Defpushbutton, Checkbox, Radio, Groupbox,
  Edit, Combobox, Listbox, Custom
};

struct Blob {
  const char* type;  // upper case, as resource compilers store custom type names
  int32_t id;
  const unsigned char* data;
  uint32_t size;
};

struct DialogItem {
  ItemKind kind;
  int32_t id;
  const char* text;  // the bitmap's resource name for bitmap statics
  int16_t x, y, cx, cy;
};

struct Dialog {
  const char* name;
  const char* caption;
  int16_t cx, cy;  // dialog units
  bool hasSystemMenu;
  const DialogItem* items;
  uint32_t itemCount;
};

struct StringEntry {
  int32_t id;
  const char* text;
};

struct ModuleResources {
  const Blob* blobs;
  uint32_t blobCount;
  const Dialog* dialogs;
  uint32_t dialogCount;
  const StringEntry* strings;
  uint32_t stringCount;

  const Blob* FindBlob(const char* type, int32_t id) const {
    for (uint32_t i = 0; i < blobCount; ++i)
      if (blobs[i].id == id && std::strcmp(blobs[i].type, type) == 0) return &blobs[i];
    return nullptr;
  }
  // "#101" names the template with the numeric id 101, as FindResource reads it.
  const Dialog* FindDialog(const char* name) const {
    if (name[0] == '#') ++name;
    for (uint32_t i = 0; i < dialogCount; ++i)
      if (std::strcmp(dialogs[i].name, name) == 0) return &dialogs[i];
    return nullptr;
  }
  const char* FindString(int32_t id) const {
    for (uint32_t i = 0; i < stringCount; ++i)
      if (strings[i].id == id) return strings[i].text;
    return nullptr;
  }
};

// Defined by the generated table linked into each native plug-in (and into its tests).
const ModuleResources& ThisModule();

}  // namespace qm::res

// The export through which a host reads a native module's resources by type and id, the way
// it would call FindResource on a DLL. Returns 1 and fills data and size when found.
#define QM_RESOURCE_EXPORT                                                                      \
  extern "C" __attribute__((visibility("default"))) int32_t QmModuleResource(                   \
      const char* type, int32_t id, const void** data, uint32_t* size) {                        \
    const qm::res::Blob* b = qm::res::ThisModule().FindBlob(type, id);                          \
    if (!b) return 0;                                                                           \
    *data = b->data;                                                                            \
    *size = b->size;                                                                            \
    return 1;                                                                                   \
  }
