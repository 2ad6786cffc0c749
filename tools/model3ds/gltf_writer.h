// Writes a model description as a glTF 2.0 file: one JSON text with its vertex data inside, as
// a base64 data URI, and texture pictures named as files beside it.
#pragma once

#include <string>

#include "tools/model3ds/model_writer.h"

// The glTF text of model. Positions are turned from the description's axes (z up) into glTF's
// (y up) the way the 3DS loader turns a 3DS file's, so that both files load alike; faces keep
// their front. Each mesh becomes a node with one primitive per material; diffuse colours
// become base colours and texture files base colour textures. False with error when a count
// exceeds what a 3DS file could hold too.
bool WriteGltf(const ModelDesc& model, std::string* text, std::string* error);
