// armodel3ds: writes the built-in models (3DS or glTF files with their texture pictures), and
// loads a model file with the viewer's loader to show what it holds and how long loading takes.
//
//   armodel3ds write NAME FOLDER
//   armodel3ds list
//   armodel3ds info FILE [TEXTURE_PREFIX] [--repeat N]
#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gl/exit_leak_check.h"
#include "model/model_3ds.h"
#include "model/model_file.h"
#include "model/texture_cache.h"
#include "tools/model3ds/shipped_models.h"

namespace {

void printUsage(FILE* out) {
  std::fprintf(out,
               "usage: armodel3ds write NAME FOLDER\n"
               "       armodel3ds list\n"
               "       armodel3ds info FILE [TEXTURE_PREFIX] [--repeat N]\n"
               "\n"
               "write  writes the built-in model NAME as FOLDER/NAME.3ds (or NAME.gltf) with its\n"
               "       texture picture, if any, in FOLDER (which must exist). Model units: 1 unit is\n"
               "       40 mm at scale 1.0, so an 80 mm marker spans -1 .. 1.\n"
               "list   lists the built-in models.\n"
               "info   loads FILE as the viewer does (3DS: textures from TEXTURE_PREFIX followed by\n"
               "       the file names inside the model, default FILE's folder; other formats: beside\n"
               "       FILE), prints its meshes and materials, and the median time of N loads\n"
               "       (default 20). Needs an X display for the OpenGL textures (for example under\n"
               "       xvfb-run).\n");
}

int listModels() {
  for (const std::string& name : ShippedModelNames()) {
    ShippedModel model;
    MakeShippedModel(name, &model);
    std::printf("%-8s %s\n", name.c_str(), model.description.c_str());
  }
  return 0;
}

int writeModel(const std::string& name, const std::string& folder) {
  ShippedModel model;
  if (!MakeShippedModel(name, &model)) {
    std::fprintf(stderr, "armodel3ds: no built-in model \"%s\" (see armodel3ds list)\n", name.c_str());
    return 2;
  }
  std::string error;
  if (!WriteShippedModel(model, folder, &error)) {
    std::fprintf(stderr, "armodel3ds: %s\n", error.c_str());
    return 1;
  }
  std::printf("wrote %s/%s", folder.c_str(), ShippedModelFile(model).c_str());
  if (!model.textureFile.empty()) std::printf(" and %s/%s", folder.c_str(), model.textureFile.c_str());
  std::printf("\n");
  return 0;
}

void printModel(const C3DSMaxModel& model) {
  for (uint32_t j = 0; j < model.m_nGroups; j++) {
    const CGroup* g = model.m_groups[j];
    std::printf("mesh %u: %u vertices, %u faces\n", j, g->m_nVertices, g->m_nFaces);
  }
  for (const CMaterial* m : model.m_materials)
    std::printf("material \"%s\": diffuse %.3f %.3f %.3f, specular %.3f %.3f %.3f, %s\n", m->m_name,
                m->m_diffuse[0], m->m_diffuse[1], m->m_diffuse[2], m->m_specular[0], m->m_specular[1],
                m->m_specular[2], m->m_texture.m_id != 0 ? "textured" : "no texture");
}

void deleteTextures(const C3DSMaxModel& model) {
  for (const CMaterial* m : model.m_materials) {
    const GLuint id = m->m_texture.m_id;
    if (id != 0) glDeleteTextures(1, &id);
  }
}

int infoModel(int argc, char** argv) {
  std::string file, prefix;
  bool havePrefix = false;
  int repeat = 20;
  for (int i = 2; i < argc; i++) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::atoi(argv[++i]);
    } else if (file.empty()) {
      file = argv[i];
    } else if (!havePrefix) {
      prefix = argv[i];
      havePrefix = true;
    } else {
      printUsage(stderr);
      return 2;
    }
  }
  if (file.empty() || repeat < 1) {
    printUsage(stderr);
    return 2;
  }
  if (!havePrefix) {
    const size_t slash = file.find_last_of('/');
    prefix = slash == std::string::npos ? "" : file.substr(0, slash + 1);
  }
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "armodel3ds: info needs an X display for OpenGL textures (try xvfb-run)\n");
    return 1;
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(64, 64);
  glutCreateWindow("armodel3ds");

  std::vector<double> millis;
  bool loaded = false;
  for (int i = 0; i < repeat; i++) {
    C3DSMaxModel model;
    CTextureCache textures;  // one per load, so that every load reads its textures
    const auto start = std::chrono::steady_clock::now();
    loaded = arLoadModelFile(&model, file.c_str(), prefix.c_str(), &textures);
    glFinish();
    millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (i == 0) printModel(model);
    deleteTextures(model);
    if (!loaded) break;
  }
  arglCheckLeaksNow();
  if (!loaded) return 1;
  std::sort(millis.begin(), millis.end());
  std::printf("load time: median %.2f ms, min %.2f ms, max %.2f ms over %d loads\n", millis[millis.size() / 2],
              millis.front(), millis.back(), repeat);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    printUsage(stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) return listModels();
  if (argc == 4 && std::strcmp(argv[1], "write") == 0) return writeModel(argv[2], argv[3]);
  if (argc >= 3 && std::strcmp(argv[1], "info") == 0) return infoModel(argc, argv);
  printUsage(stderr);
  return 2;
}
