// Writes small text X files for the scenery tests: flat square quads in the
// x-z plane (clockwise seen from above), each with its own normal and material.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

struct TestMaterial {
    float r, g, b, a;
    float power;
    float specular[3];
    float emissive[3];
    std::string texture;  // empty: no TextureFilename
};

struct TestQuad {
    float cx, cz, half;
    float nx, ny, nz;
    int material;
};

inline std::string FormatFloat(float f) {
    char text[32];
    snprintf(text, sizeof(text), "%.6f", f);
    return text;
}

inline std::string MakeXFile(const std::vector<TestQuad>& quads, const std::vector<TestMaterial>& materials) {
    std::string x = "xof 0303txt 0032\n";
    x += "Mesh TestMesh {\n";
    x += std::to_string(quads.size() * 4) + ";\n";
    for (size_t q = 0; q < quads.size(); q++) {
        const TestQuad& quad = quads[q];
        const float xs[4] = {quad.cx - quad.half, quad.cx + quad.half, quad.cx + quad.half, quad.cx - quad.half};
        const float zs[4] = {quad.cz + quad.half, quad.cz + quad.half, quad.cz - quad.half, quad.cz - quad.half};
        for (int i = 0; i < 4; i++) {
            x += FormatFloat(xs[i]) + ";0.000000;" + FormatFloat(zs[i]) + ";";
            x += (q + 1 == quads.size() && i == 3) ? ";\n" : ",\n";
        }
    }
    x += std::to_string(quads.size() * 2) + ";\n";
    for (size_t q = 0; q < quads.size(); q++) {
        const int b = (int)q * 4;
        x += "3;" + std::to_string(b) + "," + std::to_string(b + 1) + "," + std::to_string(b + 2) + ";,\n";
        x += "3;" + std::to_string(b) + "," + std::to_string(b + 2) + "," + std::to_string(b + 3) + ";";
        x += (q + 1 == quads.size()) ? ";\n" : ",\n";
    }
    x += "MeshNormals {\n" + std::to_string(quads.size()) + ";\n";
    for (size_t q = 0; q < quads.size(); q++) {
        x += FormatFloat(quads[q].nx) + ";" + FormatFloat(quads[q].ny) + ";" + FormatFloat(quads[q].nz) + ";";
        x += (q + 1 == quads.size()) ? ";\n" : ",\n";
    }
    x += std::to_string(quads.size() * 2) + ";\n";
    for (size_t q = 0; q < quads.size(); q++) {
        const std::string n = std::to_string(q);
        x += "3;" + n + "," + n + "," + n + ";,\n";
        x += "3;" + n + "," + n + "," + n + ";";
        x += (q + 1 == quads.size()) ? ";\n" : ",\n";
    }
    x += "}\n";
    x += "MeshMaterialList {\n" + std::to_string(materials.size()) + ";\n" + std::to_string(quads.size() * 2) + ";\n";
    for (size_t q = 0; q < quads.size(); q++) {
        const std::string m = std::to_string(quads[q].material);
        x += m + "," + m;
        x += (q + 1 == quads.size()) ? ";\n" : ",\n";
    }
    for (const TestMaterial& m : materials) {
        x += "Material {\n";
        x += FormatFloat(m.r) + ";" + FormatFloat(m.g) + ";" + FormatFloat(m.b) + ";" + FormatFloat(m.a) + ";;\n";
        x += FormatFloat(m.power) + ";\n";
        x += FormatFloat(m.specular[0]) + ";" + FormatFloat(m.specular[1]) + ";" + FormatFloat(m.specular[2]) + ";;\n";
        x += FormatFloat(m.emissive[0]) + ";" + FormatFloat(m.emissive[1]) + ";" + FormatFloat(m.emissive[2]) + ";;\n";
        if (!m.texture.empty()) {
            x += "TextureFilename { \"" + m.texture + "\"; }\n";
        }
        x += "}\n";
    }
    x += "}\n}\n";
    return x;
}

inline TestMaterial PlainMaterial(float r, float g, float b, const std::string& texture = std::string()) {
    TestMaterial m = {r, g, b, 1.0f, 0.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, texture};
    return m;
}
