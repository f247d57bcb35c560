#include "effect/effect_state.h"

#include <cstdio>

#include "shapes/shape_file.h"

namespace velune {

EffectState& effect_state() {
  static EffectState state;
  return state;
}

std::string plugin_folder_of(const std::string& plugin_path) {
  const std::size_t cut = plugin_path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : plugin_path.substr(0, cut);
}

namespace {
bool marker_present(const std::string& folder, const char* name) {
  std::FILE* f = std::fopen(join_path(folder, name).c_str(), "rb");
  if (f == nullptr) {
    return false;
  }
  std::fclose(f);
  return true;
}
}  // namespace

EffectOptions read_option_files(const std::string& plugin_folder) {
  EffectOptions options;
  options.use_simd = !marker_present(plugin_folder, "no_simd");
  options.alpha_bokeh = marker_present(plugin_folder, "alpha_boke");
  options.use_micro = marker_present(plugin_folder, "use_micro");
  return options;
}

ShapeList scan_shapes(const std::string& shape_root, const std::string& default_name) {
  ShapeList list;
  if (shape_root.empty()) {
    return list;
  }
  for (const DirectoryEntry& entry : list_directory(shape_root)) {
    if (!entry.is_directory) {
      continue;
    }
    if (static_cast<int32_t>(list.names.size()) >= kMaxShapes) {
      break;
    }
    // Longer names would not fit the popup's fixed slots; they are cut, not dropped.
    std::string name = entry.name.substr(0, kMaxShapeName);
    list.popup_text += list.names.empty() ? name : "|" + name;
    if (list.default_position == 0 && name == default_name) {
      list.default_position = static_cast<int16_t>(list.names.size() + 1);
    }
    list.names.push_back(std::move(name));
  }
  list.count = static_cast<int16_t>(list.names.size());
  // Popups count from 1; a library without the default shape defaults to its first one.
  if (list.default_position == 0 && list.count > 0) {
    list.default_position = 1;
  }
  return list;
}

void global_setup(EffectState& state, const std::string& plugin_path) {
  state.plugin_folder = plugin_folder_of(plugin_path);
  state.shape_root = join_path(state.plugin_folder, "pattern");
  state.options = read_option_files(state.plugin_folder);
  for (int32_t i = 0; i < kParamCount; ++i) {
    state.param_index[i] = i;
  }
  state.param_count = kParamCount;
  state.shapes = scan_shapes(state.shape_root, state.default_shape);
}

}  // namespace velune
