// The models shipped in Data/models/, made here in code: geometry and texture pictures.
#pragma once

#include <string>
#include <vector>

#include "tools/model3ds/image_writer.h"
#include "tools/model3ds/model_writer.h"

struct ShippedModel {
  std::string name;         // folder and file name: <folder>/<name>.3ds (or .gltf)
  std::string description;  // one line for --help
  ModelDesc model;
  bool gltf = false;        // written as a glTF 2.0 file instead of a 3DS file
  std::string textureFile;  // map file name used by the model's textured materials; empty: none
  RgbaImage texture{1, 1};
};

// The model's file name in its folder: <name>.3ds or <name>.gltf.
std::string ShippedModelFile(const ShippedModel& model);

// The names of the built-in models, in a fixed order.
std::vector<std::string> ShippedModelNames();

// The built-in model called name; false when there is none.
bool MakeShippedModel(const std::string& name, ShippedModel* out);

// Writes the model file and its texture picture (if any) into folder (which must exist). False
// with error when a file cannot be written.
bool WriteShippedModel(const ShippedModel& model, const std::string& folder, std::string* error);
