// Model files of other formats than 3DS (glTF 2.0, Wavefront OBJ and whatever else the assimp
// library reads), read into the same groups and materials as a 3DS file.
#pragma once

class C3DSMaxModel;
class CTextureCache;

// Reads the file at modelPath into the empty model: one group per mesh (triangles only, node
// transforms applied, y up as in the model's own axes), one material per material of the file
// with its diffuse and specular colours and its first diffuse (base colour) texture, found
// relative to the model file's folder or inside the file, shared through textures. Vertex
// normals are the file's, or smooth normals made from the faces. False, with one line on
// standard error naming the file and the cause, when the file cannot be read; the model then
// stays empty.
bool LoadAssimpModel(C3DSMaxModel* model, const char* modelPath, CTextureCache* textures);
