// Loading a model file of any kind the viewer draws: 3DS files with the project's own loader,
// other formats (glTF 2.0 .gltf/.glb, Wavefront .obj, ...) through the assimp library, all into
// the same C3DSMaxModel.
#pragma once

class C3DSMaxModel;
class CTextureCache;

// Loads the file at modelPath into model (emptied first). A file whose name ends in ".3ds" (in
// any letter case) is read by C3DSMaxModel::Load with texturePrefix; any other file through
// assimp, its textures found relative to its own folder (texturePrefix is not used). Textures
// are shared through textures, which must be given. Needs a current OpenGL context. False, with
// one line on standard error naming the file and the cause, when the file cannot be read; the
// model is then empty and draws nothing.
bool arLoadModelFile(C3DSMaxModel* model, const char* modelPath, const char* texturePrefix, CTextureCache* textures);
