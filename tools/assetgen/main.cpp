// assetgen: writes every model, texture and piece of music the game loads
// into a run directory.
//
//   assetgen <outdir>            model/, asset/texture/ and SE/ under outdir,
//                                and the game's icon under icons/
//   assetgen --preview <outdir>  the same, plus preview/ with rendered views
//
// The output depends only on this program's source: no clock, no unseeded
// randomness, fixed number formatting.
#include <cstdio>
#include <cstring>
#include <string>

#include "assetgen/assets.h"

int main(int argc, char** argv) {
    bool preview = false;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0)
            preview = true;
        else
            out = argv[i];
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: assetgen [--preview] <outdir>\n");
        return 2;
    }
    ag::Fonts fonts;
    std::string missing;
    if (!ag::loadFonts(fonts, missing)) {
        std::fprintf(stderr, "assetgen: cannot load the font %s (install fonts-dejavu-core)\n", missing.c_str());
        return 1;
    }
    bool ok = true;
    auto fail = [&ok](const std::string& what) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", what.c_str());
        ok = false;
    };
    for (const char* d : {"/asset/texture", "/model/tex", "/SE"})
        if (!ag::makeDirs(out + d)) fail(out + d);
    if (!ok) return 1;

    std::vector<ag::Texture> textures = ag::makeTextures(fonts);
    for (const ag::Texture& t : textures) {
        std::string path = out + "/" + t.path;
        bool written = t.jpeg ? ag::writeJpg(path, t.image, 92) : ag::writePng(path, t.image, t.alpha);
        if (!written) fail(path);
    }
    ag::Models models = ag::makeModels();
    for (const ag::Texture& t : models.textures)
        if (!ag::writePng(out + "/" + t.path, t.image, t.alpha)) fail(out + "/" + t.path);
    for (const ag::Model& m : models.models)
        if (!ag::writeFile(out + "/" + m.path, ag::writeXFile(m.mesh))) fail(out + "/" + m.path);
    for (const ag::Song& s : ag::makeSongs())
        if (!ag::writeFile(out + "/" + s.path, ag::writeWav(s))) fail(out + "/" + s.path);
    std::vector<ag::Image> icons;
    for (int size : ag::iconSizes()) {
        std::string dir = out + "/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        icons.push_back(ag::makeIcon(size));
        if (!ag::makeDirs(dir) || !ag::writePng(dir + "/tideangler.png", icons.back(), true)) fail(dir);
    }
    if (!ag::writeFile(out + "/icons/tideangler.ico", ag::writeIco(icons))) fail(out + "/icons/tideangler.ico");
    if (preview && !ag::writePreviews(out + "/preview", textures, models)) fail(out + "/preview");
    return ok ? 0 : 1;
}
