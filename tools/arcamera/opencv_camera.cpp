#include "tools/arcamera/opencv_camera.h"

#include <tinyxml2.h>
#include <yaml-cpp/yaml.h>

#include <cmath>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kMatrixNames[] = {"camera_matrix", "cameraMatrix", "K"};
constexpr const char* kCoefficientNames[] = {"distortion_coefficients", "distCoeffs", "D"};

// A matrix as rows, columns and its values in row order.
struct Matrix {
  int rows = 0, cols = 0;
  std::vector<double> data;
};

bool fromMatrices(const Matrix& k, const Matrix& d, OpenCvCamera* out, std::string* error) {
  if (k.rows != 3 || k.cols != 3 || k.data.size() != 9) {
    *error = "the camera matrix is not 3 x 3";
    return false;
  }
  out->fx = k.data[0], out->skew = k.data[1], out->cx = k.data[2], out->fy = k.data[4], out->cy = k.data[5];
  const size_t n = d.data.size();
  if (static_cast<size_t>(d.rows) * d.cols != n || (n != 4 && n != 5 && n != 8 && n != 12 && n != 14)) {
    *error = "the distortion coefficients are not 4, 5, 8, 12 or 14 numbers";
    return false;
  }
  for (size_t i = 8; i < n; i++)
    if (d.data[i] != 0) {
      *error = "thin-prism or tilt distortion terms are not 0; only radial and tangential distortion can be converted";
      return false;
    }
  // OpenCV's order: k1, k2, p1, p2[, k3[, k4, k5, k6]].
  out->k[0] = d.data[0], out->k[1] = d.data[1], out->p[0] = d.data[2], out->p[1] = d.data[3];
  for (size_t i = 4; i < std::min<size_t>(n, 8); i++) out->k[i - 2] = d.data[i];
  return true;
}

// ---- YAML (cv::FileStorage and ROS camera_info) ----

YAML::Node findKey(const YAML::Node& root, const char* const* names, size_t count) {
  for (size_t i = 0; i < count; i++)
    if (YAML::Node node = root[names[i]]) return node;
  return YAML::Node();
}

bool yamlMatrix(const YAML::Node& node, const char* what, Matrix* out, std::string* error) {
  if (!node || !node.IsMap() || !node["data"] || !node["data"].IsSequence()) {
    *error = std::string("no ") + what + " with rows, cols and data";
    return false;
  }
  out->rows = node["rows"] ? node["rows"].as<int>() : 0;
  out->cols = node["cols"] ? node["cols"].as<int>() : 0;
  for (const YAML::Node& v : node["data"]) out->data.push_back(v.as<double>());
  return true;
}

bool parseYaml(std::string text, OpenCvCamera* out, std::string* error) {
  // cv::FileStorage starts with "%YAML:1.0", which is not a directive YAML parsers accept.
  if (text.compare(0, 9, "%YAML:1.0") == 0) text.replace(0, 9, "%YAML 1.1");
  const YAML::Node root = YAML::Load(text);
  if (!root.IsMap()) {
    *error = "not a calibration: the document is not a map of names";
    return false;
  }
  if (const YAML::Node model = root["distortion_model"]) {
    const std::string name = model.as<std::string>();
    if (name != "plumb_bob" && name != "rational_polynomial") {
      *error = "distortion model \"" + name + "\" cannot be converted (plumb_bob and rational_polynomial can)";
      return false;
    }
  }
  Matrix k, d;
  if (!yamlMatrix(findKey(root, kMatrixNames, 3), "camera_matrix", &k, error) ||
      !yamlMatrix(findKey(root, kCoefficientNames, 3), "distortion_coefficients", &d, error))
    return false;
  if (root["image_width"] && root["image_height"]) {
    out->width = root["image_width"].as<int>();
    out->height = root["image_height"].as<int>();
  }
  return fromMatrices(k, d, out, error);
}

// ---- XML (cv::FileStorage) ----

const tinyxml2::XMLElement* findElement(const tinyxml2::XMLElement* root, const char* const* names, size_t count) {
  for (size_t i = 0; i < count; i++)
    if (const tinyxml2::XMLElement* e = root->FirstChildElement(names[i])) return e;
  return nullptr;
}

bool xmlInt(const tinyxml2::XMLElement* parent, const char* name, int* out) {
  const tinyxml2::XMLElement* e = parent ? parent->FirstChildElement(name) : nullptr;
  return e && e->QueryIntText(out) == tinyxml2::XML_SUCCESS;
}

bool xmlMatrix(const tinyxml2::XMLElement* node, const char* what, Matrix* out, std::string* error) {
  const tinyxml2::XMLElement* data = node ? node->FirstChildElement("data") : nullptr;
  if (!data || !xmlInt(node, "rows", &out->rows) || !xmlInt(node, "cols", &out->cols)) {
    *error = std::string("no ") + what + " with rows, cols and data";
    return false;
  }
  std::istringstream values(data->GetText() ? data->GetText() : "");
  for (std::string word; values >> word;) {
    char* end = nullptr;
    const double v = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0') {
      *error = std::string("the ") + what + " holds \"" + word + "\", which is not a number";
      return false;
    }
    out->data.push_back(v);
  }
  return true;
}

bool parseXml(const std::string& text, OpenCvCamera* out, std::string* error) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
    *error = std::string("not a valid XML document: ") + (doc.ErrorStr() ? doc.ErrorStr() : "");
    return false;
  }
  const tinyxml2::XMLElement* root = doc.FirstChildElement("opencv_storage");
  if (!root) {
    *error = "not an OpenCV calibration: no opencv_storage element";
    return false;
  }
  Matrix k, d;
  if (!xmlMatrix(findElement(root, kMatrixNames, 3), "camera_matrix", &k, error) ||
      !xmlMatrix(findElement(root, kCoefficientNames, 3), "distortion_coefficients", &d, error))
    return false;
  int w = 0, h = 0;
  if (xmlInt(root, "image_width", &w) && xmlInt(root, "image_height", &h)) out->width = w, out->height = h;
  return fromMatrices(k, d, out, error);
}

}  // namespace

void openCvDistort(const OpenCvCamera& c, double u, double v, double* ou, double* ov) {
  const double y = (v - c.cy) / c.fy;
  const double x = (u - c.cx - c.skew * y) / c.fx;
  const double r2 = x * x + y * y, r4 = r2 * r2, r6 = r4 * r2;
  const double radial = (1 + c.k[0] * r2 + c.k[1] * r4 + c.k[2] * r6) / (1 + c.k[3] * r2 + c.k[4] * r4 + c.k[5] * r6);
  const double xd = x * radial + 2 * c.p[0] * x * y + c.p[1] * (r2 + 2 * x * x);
  const double yd = y * radial + c.p[0] * (r2 + 2 * y * y) + 2 * c.p[1] * x * y;
  *ou = c.fx * xd + c.skew * yd + c.cx;
  *ov = c.fy * yd + c.cy;
}

std::string openCvCameraProblem(const OpenCvCamera& c) {
  if (c.width < 1 || c.width > 8192 || c.height < 1 || c.height > 8192) return "the image size is outside 1 to 8192 pixels";
  const double values[] = {c.fx, c.fy, c.cx, c.cy, c.skew, c.k[0], c.k[1], c.k[2], c.k[3], c.k[4], c.k[5], c.p[0], c.p[1]};
  for (double v : values)
    if (!std::isfinite(v)) return "a value is not a finite number";
  if (!(c.fx > 0) || !(c.fy > 0)) return "the focal lengths fx and fy must be positive";
  return "";
}

bool parseOpenCvCalibration(const std::string& text, OpenCvCamera* out, std::string* error) {
  *out = OpenCvCamera();
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start != std::string::npos && text[start] == '<') return parseXml(text, out, error);
  try {
    return parseYaml(text, out, error);
  } catch (const YAML::Exception& e) {
    *error = std::string("not a valid calibration YAML: ") + e.what();
    return false;
  }
}
