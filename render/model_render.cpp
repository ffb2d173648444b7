#include "render/model_render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace render {

namespace {

using noise::utils::PixelColor;

struct Vec {
  double x, y, z;
};

Vec operator-(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Normalized(const Vec& v) {
  const double length = std::sqrt(Dot(v, v));
  return length > 0 ? Vec{v.x / length, v.y / length, v.z / length} : Vec{0, 0, 0};
}

// The view: the model's z axis up, seen from 35 degrees to the left of its
// x axis and 30 degrees above. `toViewer` points at the viewer.
struct View {
  Vec right, up, toViewer;
  View() {
    const double azimuth = 35.0 * M_PI / 180.0;
    const double elevation = 30.0 * M_PI / 180.0;
    toViewer = {std::cos(azimuth) * std::cos(elevation), std::sin(azimuth) * std::cos(elevation),
                std::sin(elevation)};
    right = {-std::sin(azimuth), std::cos(azimuth), 0};
    up = Cross(toViewer, right);
  }
};

Vec ToVec(const MeshPoint& p) { return {p.x, p.y, p.z}; }

// Light from above, behind the viewer's left shoulder.
constexpr double kAmbient = 0.3;
constexpr double kDiffuse = 0.7;
// Colour of an untextured surface.
constexpr uint8_t kPlainGrey = 200;

// The first pixel whose centre lies at or after `coordinate`, and the last
// at or before it, limited to the `size` pixels of a cell.
int PixelAtOrAfter(double coordinate, int size) {
  return static_cast<int>(std::clamp(std::ceil(coordinate - 0.5), 0.0, static_cast<double>(size)));
}
int PixelAtOrBefore(double coordinate, int size) {
  return static_cast<int>(std::clamp(std::floor(coordinate - 0.5), -1.0, static_cast<double>(size - 1)));
}

// The texel of a texture coordinate across `size` texels; coordinates
// outside the skin repeat it.
size_t TexelIndex(double coordinate, int32_t size) {
  if (!std::isfinite(coordinate)) return 0;
  const double fraction = coordinate - std::floor(coordinate);
  return static_cast<size_t>(std::clamp(fraction * size, 0.0, static_cast<double>(size - 1)));
}

// The colour of an untextured `triangle`: its material's, or plain grey.
// Returns the alpha it covers the background with, from the material's
// opacity; the nearest surface of a pixel is the one drawn.
uint8_t PlainColour(const ModelMesh& mesh, const MeshTriangle& triangle, double (&rgb)[3]) {
  const size_t material = static_cast<size_t>(triangle.material);
  if (triangle.material < 0 || material >= mesh.materials.size() || !mesh.materials[material].present) {
    rgb[0] = rgb[1] = rgb[2] = kPlainGrey;
    return 255;
  }
  const MeshMaterial& m = mesh.materials[material];
  for (int c = 0; c < 3; ++c) rgb[c] = 255.0 * m.rgb[c];
  return static_cast<uint8_t>(std::lround(255.0 * m.opacity));
}

// Where a cell is drawn: the picture, the cell's bottom left pixel and size,
// and the nearness of what each of its pixels shows.
struct Cell {
  noise::utils::ImageGrid& image;
  int x, y, width, height;
  std::vector<float>& depth;
};

// The scale that fits the corners of `bounds`, seen from `view`, into a
// cell of `width` x `height` pixels with a margin; `centre` gets the box's
// centre.
double FitScale(const MeshBounds& bounds, const View& view, int width, int height, Vec& centre) {
  const Vec low = ToVec(bounds.minimum), high = ToVec(bounds.maximum);
  centre = Vec{(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
  double extentX = 0, extentY = 0;
  for (int corner = 0; corner < 8; ++corner) {
    const Vec c =
        Vec{corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y, corner & 4 ? high.z : low.z} - centre;
    extentX = std::max(extentX, std::fabs(Dot(c, view.right)));
    extentY = std::max(extentY, std::fabs(Dot(c, view.up)));
  }
  const double margin = 0.05;
  const double usableX = width * (1 - 2 * margin) / 2, usableY = height * (1 - 2 * margin) / 2;
  double scale = std::numeric_limits<double>::max();
  if (extentX > 0) scale = std::min(scale, usableX / extentX);
  if (extentY > 0) scale = std::min(scale, usableY / extentY);
  if (!(scale < std::numeric_limits<double>::max()) || !std::isfinite(scale)) scale = 1;
  return scale;
}

// The skin's colour at barycentric weights `w` of a textured triangle.
void TexelColour(const ModelMesh& mesh, const MeshTriangle& triangle, const double (&w)[3],
                 double (&rgb)[3]) {
  double u = 0, v = 0;
  for (int c = 0; c < 3; ++c) {
    u += w[c] * mesh.texCoords[2 * static_cast<size_t>(triangle.texCoords[c])];
    v += w[c] * mesh.texCoords[2 * static_cast<size_t>(triangle.texCoords[c]) + 1];
  }
  const size_t sx = TexelIndex(u, mesh.skin.width);
  const size_t sy = TexelIndex(v, mesh.skin.height);
  const uint8_t* texel = mesh.skin.rgba.data() + 4 * (sy * static_cast<size_t>(mesh.skin.width) + sx);
  for (int c = 0; c < 3; ++c) rgb[c] = texel[c];
}

// Fills the pixels of `cell` whose centres lie inside the triangle with
// cell corners `screen` (twice its signed area `area`) and that it shows
// nearer than what they show, lit by `shade`.
void FillTriangle(const ModelMesh& mesh, const MeshTriangle& triangle, const Vec (&screen)[3], double area,
                  double shade, Cell& cell) {
  const bool hasTexture = !mesh.skin.Empty() && triangle.texCoords[0] >= 0 && triangle.texCoords[1] >= 0 &&
                          triangle.texCoords[2] >= 0;
  double plain[3];
  const uint8_t plainAlpha = PlainColour(mesh, triangle, plain);
  const int x0 = PixelAtOrAfter(std::min({screen[0].x, screen[1].x, screen[2].x}), cell.width);
  const int x1 = PixelAtOrBefore(std::max({screen[0].x, screen[1].x, screen[2].x}), cell.width);
  const int y0 = PixelAtOrAfter(std::min({screen[0].y, screen[1].y, screen[2].y}), cell.height);
  const int y1 = PixelAtOrBefore(std::max({screen[0].y, screen[1].y, screen[2].y}), cell.height);
  for (int y = y0; y <= y1; ++y) {
    PixelColor* row = cell.image.RowData(cell.y + y) + cell.x;
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      // Barycentric weights of the pixel centre.
      const double w0 =
          ((screen[1].x - px) * (screen[2].y - py) - (screen[2].x - px) * (screen[1].y - py)) / area;
      const double w1 =
          ((screen[2].x - px) * (screen[0].y - py) - (screen[0].x - px) * (screen[2].y - py)) / area;
      const double w2 = 1 - w0 - w1;
      if (w0 < 0 || w1 < 0 || w2 < 0) continue;
      const float z = static_cast<float>(w0 * screen[0].z + w1 * screen[1].z + w2 * screen[2].z);
      float& nearest =
          cell.depth[static_cast<size_t>(y) * static_cast<size_t>(cell.width) + static_cast<size_t>(x)];
      if (!(z > nearest)) continue;
      nearest = z;
      double rgb[3] = {plain[0], plain[1], plain[2]};
      if (hasTexture) TexelColour(mesh, triangle, {w0, w1, w2}, rgb);
      row[x] =
          PixelColor(hasTexture ? 255 : plainAlpha, static_cast<uint8_t>(std::min(255.0, rgb[2] * shade)),
                     static_cast<uint8_t>(std::min(255.0, rgb[1] * shade)),
                     static_cast<uint8_t>(std::min(255.0, rgb[0] * shade)));
    }
  }
}

}  // namespace

void MeshBounds::Add(const MeshPoint& p) {
  if (empty) {
    minimum = maximum = p;
    empty = false;
    return;
  }
  minimum = {std::min(minimum.x, p.x), std::min(minimum.y, p.y), std::min(minimum.z, p.z)};
  maximum = {std::max(maximum.x, p.x), std::max(maximum.y, p.y), std::max(maximum.z, p.z)};
}

MeshBounds ModelRenderer::FrameBounds(const ModelMesh& mesh, size_t frame) {
  MeshBounds bounds;
  if (frame >= mesh.frames.size()) return bounds;
  const std::vector<MeshPoint>& positions = mesh.frames[frame];
  for (const MeshTriangle& triangle : mesh.triangles) {
    for (int32_t v : triangle.vertices) bounds.Add(positions[static_cast<size_t>(v)]);
  }
  return bounds;
}

void ModelRenderer::Draw(const ModelMesh& mesh, size_t frame, const MeshBounds& bounds,
                         noise::utils::ImageGrid& image, int cellX, int cellY, int cellWidth,
                         int cellHeight) {
  if (frame >= mesh.frames.size() || bounds.empty || cellWidth <= 0 || cellHeight <= 0) return;
  const View view;
  const std::vector<MeshPoint>& positions = mesh.frames[frame];
  Vec centre{0, 0, 0};
  const double scale = FitScale(bounds, view, cellWidth, cellHeight, centre);
  depth_.assign(static_cast<size_t>(cellWidth) * static_cast<size_t>(cellHeight),
                -std::numeric_limits<float>::infinity());
  Cell cell{image, cellX, cellY, cellWidth, cellHeight, depth_};
  const Vec light = Normalized(Vec{view.toViewer.x + 0.4 * view.up.x - 0.3 * view.right.x,
                                   view.toViewer.y + 0.4 * view.up.y - 0.3 * view.right.y,
                                   view.toViewer.z + 0.4 * view.up.z - 0.3 * view.right.z});
  for (const MeshTriangle& triangle : mesh.triangles) {
    Vec world[3], screen[3];
    for (int c = 0; c < 3; ++c) {
      world[c] = ToVec(positions[static_cast<size_t>(triangle.vertices[c])]);
      const Vec r = world[c] - centre;
      // Cell coordinates in pixels; z grows towards the viewer.
      screen[c] = {cellWidth / 2.0 + Dot(r, view.right) * scale, cellHeight / 2.0 + Dot(r, view.up) * scale,
                   Dot(r, view.toViewer)};
    }
    const double area = (screen[1].x - screen[0].x) * (screen[2].y - screen[0].y) -
                        (screen[2].x - screen[0].x) * (screen[1].y - screen[0].y);
    if (!(std::fabs(area) > 1e-12)) continue;
    bool finite = true;
    for (const Vec& c : screen)
      finite = finite && std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z);
    if (!finite) continue;
    // Both sides are lit alike: the formats disagree on winding.
    const Vec normal = Normalized(Cross(world[1] - world[0], world[2] - world[0]));
    const double shade = kAmbient + kDiffuse * std::fabs(Dot(normal, light));
    FillTriangle(mesh, triangle, screen, area, shade, cell);
  }
}

}  // namespace render
