// The asset generator's outputs, kept in memory before they are written so
// that the preview renderer can use them too.
#pragma once

#include <string>
#include <vector>

#include "assetgen/common.h"

namespace ag {

struct Fonts {
    Font bold;
    Font boldOblique;
};
// Loads the DejaVu fonts; on failure `error` names the missing file.
bool loadFonts(Fonts& fonts, std::string& error);

struct Texture {
    std::string path;  // relative to the run directory
    Image image;
    bool jpeg = false;
    bool alpha = false;
};
// The 26 textures of the game's texture table, in table order.
std::vector<Texture> makeTextures(const Fonts& fonts);

// ---------------------------------------------------------------- models
struct Material {
    Col diffuse{1, 1, 1, 1};
    float power = 8.f;
    Col specular{0, 0, 0, 1};
    Col emissive{0, 0, 0, 1};
    std::string texture;  // relative to the run directory; empty = none
};
struct Vertex {
    V3 pos, normal;
    float u = 0, v = 0;
};
struct Tri {
    int a, b, c, material;
};
struct Mesh {
    std::vector<Vertex> verts;
    std::vector<Tri> tris;
    std::vector<Material> materials;
    bool hasUv = false;
};
struct Model {
    std::string path;  // e.g. "model/Player.x"
    Mesh mesh;
};
struct Models {
    std::vector<Model> models;      // the 24 files of the model table, table order
    std::vector<Texture> textures;  // textures the models name (model/tex/...)
};
Models makeModels();
// Text DirectX X file of a mesh.
std::string writeXFile(const Mesh& mesh);

// ----------------------------------------------------------------- music
struct Song {
    std::string path;              // e.g. "SE/BGM_TITLE.wav"
    std::vector<int16_t> samples;  // mono
    int rate = 22050;
};
std::vector<Song> makeSongs();
std::string writeWav(const Song& song);

// ------------------------------------------------------------------ icon
// The icon's pixel sizes, smallest first: 16 24 32 48 64 128 256.
const std::vector<int>& iconSizes();
Image makeIcon(int size);
// A Windows .ico holding the images (each square, at most 256 pixels).
std::string writeIco(const std::vector<Image>& images);

// --------------------------------------------------------------- preview
// Renders PNG views of the models and of the two game stages into dir.
bool writePreviews(const std::string& dir, const std::vector<Texture>& textures, const Models& models);

}  // namespace ag
