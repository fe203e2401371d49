// Tests of the device-free X-file parser: text, binary and compressed forms,
// the templates a static model uses, frames, materials, and broken files.
#include "platform/d3dx9/xfile_parser.h"

#include <gtest/gtest.h>
#include <math.h>

#include "ci_skip.h"
#include "xfile_builder.h"

namespace {

using xfile::MeshData;
using xfile::Status;
using xtest::BinaryWriter;
using xtest::Bytes;

Status Parse(const std::vector<uint8_t>& bytes, MeshData* mesh, std::string* error = nullptr) {
    std::string local;
    Status s = xfile::ParseXFile(bytes.data(), bytes.size(), mesh, error ? error : &local);
    return s;
}

Status Parse(const std::string& text, MeshData* mesh, std::string* error = nullptr) {
    return Parse(Bytes(text), mesh, error);
}

// Parses and expects success, reporting the parser's message otherwise.
MeshData MustParse(const std::vector<uint8_t>& bytes) {
    MeshData mesh;
    std::string error;
    EXPECT_EQ(Status::Ok, Parse(bytes, &mesh, &error)) << error;
    return mesh;
}
MeshData MustParse(const std::string& text) { return MustParse(Bytes(text)); }

void ExpectFails(const std::string& text, const char* why) {
    MeshData mesh;
    std::string error;
    EXPECT_EQ(Status::InvalidData, Parse(text, &mesh, &error)) << why;
    EXPECT_FALSE(error.empty()) << why;
    EXPECT_TRUE(mesh.vertices.empty() && mesh.indices.empty() && mesh.materials.empty()) << why;
}

std::vector<uint32_t> Face(const MeshData& m, size_t f) {
    return {m.indices[f * 3], m.indices[f * 3 + 1], m.indices[f * 3 + 2]};
}

// The position of corner c of face f.
std::vector<float> Corner(const MeshData& m, size_t f, int c) {
    const float* p = m.vertices[m.indices[f * 3 + c]].position;
    return {p[0], p[1], p[2]};
}

std::vector<float> Normal(const MeshData& m, size_t f, int c) {
    const float* n = m.vertices[m.indices[f * 3 + c]].normal;
    return {n[0], n[1], n[2]};
}

// A unit quad and a triangle beside it, two materials (the first by
// reference), normals with their own indices, texture coordinates, inside a
// frame that moves it by +10 along x. Exporter-style text.
const char* kSampleText = R"(xof 0303txt 0032
template Vector {
 <3D82AB5E-62DA-11cf-AB39-0020AF71E433>
 FLOAT x;
 FLOAT y;
 FLOAT z;
}

// a comment
# another comment
Material Red {
  1.000000;0.000000;0.000000;1.000000;;
  10.000000;
  0.500000;0.500000;0.500000;;
  0.000000;0.000000;0.100000;;
  TextureFilename { "tex\Red Skin.PNG"; }
}

Frame Root {
  FrameTransformMatrix {
    1.0,0.0,0.0,0.0,
    0.0,1.0,0.0,0.0,
    0.0,0.0,1.0,0.0,
    10.0,0.0,0.0,1.0;;
  }
  Mesh Box {
    5;
    0.0;0.0;0.0;,
    1.0;0.0;0.0;,
    1.0;1.0;0.0;,
    0.0;1.0;0.0;,
    2.0;0.0;0.0;;
    2;
    4;0,1,2,3;,
    3;1,4,2;;
    MeshNormals {
      2;
      0.0;0.0;-1.0;,
      0.0;1.0;0.0;;
      2;
      4;0,0,0,0;,
      3;1,1,1;;
    }
    MeshTextureCoords {
      5;
      0.0;0.0;,
      1.0;0.0;,
      1.0;1.0;,
      0.0;1.0;,
      0.5;0.25;;
    }
    MeshMaterialList {
      2;
      2;
      1,
      0;;
      { Red }
      Material {
        0.0;0.0;1.0;0.5;;
        5.0;
        0.0;0.0;0.0;;
        0.0;0.0;0.0;;
      }
    }
  }
}
)";

// The same file in the binary encoding.
std::vector<uint8_t> SampleBinary(bool doubles) {
    static const uint8_t guid[16] = {0x5e, 0xab, 0x82, 0x3d, 0xda, 0x62, 0xcf, 0x11,
                                     0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33};
    BinaryWriter w(doubles);
    w.Token(BinaryWriter::TEMPLATE).Name("Vector").Token(BinaryWriter::OBRACE).Guid(guid);
    for (const char* member : {"x", "y", "z"}) w.Token(BinaryWriter::FLOAT).Name(member).Token(BinaryWriter::SEMICOLON);
    w.Close();
    w.Open("Material", "Red").Floats({1, 0, 0, 1, 10, 0.5, 0.5, 0.5, 0, 0, 0.1});
    w.Open("TextureFilename").String("tex\\Red Skin.PNG").Close();
    w.Close();
    w.Open("Frame", "Root");
    w.Open("FrameTransformMatrix").Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1}).Close();
    w.Open("Mesh", "Box").Ints({5}).Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0});
    w.Ints({2, 4, 0, 1, 2, 3, 3, 1, 4, 2});
    w.Open("MeshNormals").Ints({2}).Floats({0, 0, -1, 0, 1, 0}).Ints({2, 4, 0, 0, 0, 0, 3, 1, 1, 1}).Close();
    w.Open("MeshTextureCoords").Ints({5}).Floats({0, 0, 1, 0, 1, 1, 0, 1, 0.5, 0.25}).Close();
    w.Open("MeshMaterialList").Ints({2, 2, 1, 0}).Reference("Red");
    w.Open("Material").Floats({0, 0, 1, 0.5, 5, 0, 0, 0, 0, 0, 0}).Close();
    w.Close();  // MeshMaterialList
    w.Close();  // Mesh
    w.Close();  // Frame
    return w.bytes;
}

void ExpectSameMesh(const MeshData& a, const MeshData& b) {
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (size_t i = 0; i < a.vertices.size(); ++i) {
        EXPECT_EQ(0, memcmp(&a.vertices[i], &b.vertices[i], sizeof(xfile::Vertex))) << "vertex " << i;
    }
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.attributes, b.attributes);
    EXPECT_EQ(a.pointReps, b.pointReps);
    ASSERT_EQ(a.ranges.size(), b.ranges.size());
    for (size_t i = 0; i < a.ranges.size(); ++i) EXPECT_EQ(0, memcmp(&a.ranges[i], &b.ranges[i], sizeof a.ranges[i]));
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (size_t i = 0; i < a.materials.size(); ++i) {
        const xfile::Material &x = a.materials[i], &y = b.materials[i];
        EXPECT_EQ(0, memcmp(x.diffuse, y.diffuse, sizeof x.diffuse));
        EXPECT_EQ(x.power, y.power);
        EXPECT_EQ(0, memcmp(x.specular, y.specular, sizeof x.specular));
        EXPECT_EQ(0, memcmp(x.emissive, y.emissive, sizeof x.emissive));
        EXPECT_EQ(x.hasTexture, y.hasTexture);
        EXPECT_EQ(x.textureFilename, y.textureFilename);
    }
    EXPECT_EQ(a.hasNormals, b.hasNormals);
    EXPECT_EQ(a.hasTexcoords, b.hasTexcoords);
    EXPECT_EQ(a.hasColors, b.hasColors);
}

TEST(XFileSample, TextGivesTheExpectedMesh) {
    MeshData m = MustParse(kSampleText);
    ASSERT_EQ(3u, m.attributes.size());
    EXPECT_TRUE(m.hasNormals);
    EXPECT_TRUE(m.hasTexcoords);
    EXPECT_FALSE(m.hasColors);

    // Material 0 is the referenced Red, material 1 the inline blue one.
    ASSERT_EQ(2u, m.materials.size());
    EXPECT_EQ(1.0f, m.materials[0].diffuse[0]);
    EXPECT_EQ(10.0f, m.materials[0].power);
    EXPECT_EQ(0.5f, m.materials[0].specular[1]);
    EXPECT_EQ(0.1f, m.materials[0].emissive[2]);
    EXPECT_TRUE(m.materials[0].hasTexture);
    EXPECT_EQ("tex\\Red Skin.PNG", m.materials[0].textureFilename);  // exactly as stored, backslash and all
    EXPECT_EQ(1.0f, m.materials[1].diffuse[2]);
    EXPECT_EQ(0.5f, m.materials[1].diffuse[3]);
    EXPECT_FALSE(m.materials[1].hasTexture);

    // Faces sorted by material: the triangle (material 0) first, then the
    // quad's two fanned triangles (material 1) in file order.
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 1}), m.attributes);
    ASSERT_EQ(2u, m.ranges.size());
    EXPECT_EQ(0u, m.ranges[0].attribId);
    EXPECT_EQ(0u, m.ranges[0].faceStart);
    EXPECT_EQ(1u, m.ranges[0].faceCount);
    EXPECT_EQ(1u, m.ranges[1].attribId);
    EXPECT_EQ(1u, m.ranges[1].faceStart);
    EXPECT_EQ(2u, m.ranges[1].faceCount);

    // Frame translation applied, winding kept: (0,1,2) then (0,2,3).
    EXPECT_EQ((std::vector<float>{10, 0, 0}), Corner(m, 1, 0));
    EXPECT_EQ((std::vector<float>{11, 0, 0}), Corner(m, 1, 1));
    EXPECT_EQ((std::vector<float>{11, 1, 0}), Corner(m, 1, 2));
    EXPECT_EQ((std::vector<float>{10, 0, 0}), Corner(m, 2, 0));
    EXPECT_EQ((std::vector<float>{11, 1, 0}), Corner(m, 2, 1));
    EXPECT_EQ((std::vector<float>{10, 1, 0}), Corner(m, 2, 2));
    EXPECT_EQ((std::vector<float>{11, 0, 0}), Corner(m, 0, 0));
    EXPECT_EQ((std::vector<float>{12, 0, 0}), Corner(m, 0, 1));
    EXPECT_EQ((std::vector<float>{11, 1, 0}), Corner(m, 0, 2));

    // Vertices 1 and 2 carry two normals each and are split; 7 vertices in all.
    EXPECT_EQ(7u, m.vertices.size());
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ((std::vector<float>{0, 1, 0}), Normal(m, 0, c));
        EXPECT_EQ((std::vector<float>{0, 0, -1}), Normal(m, 1, c));
    }
    EXPECT_NE(m.indices[1 * 3 + 1], m.indices[0 * 3 + 0]);  // same position, different vertex
    EXPECT_EQ(m.pointReps[m.indices[1 * 3 + 1]], m.pointReps[m.indices[0 * 3 + 0]]);
    // The copies keep their texture coordinates.
    const xfile::Vertex& v = m.vertices[m.indices[0 * 3 + 1]];
    EXPECT_EQ(0.5f, v.texcoord[0]);
    EXPECT_EQ(0.25f, v.texcoord[1]);
    EXPECT_EQ(1.0f, m.vertices[m.indices[0 * 3 + 0]].texcoord[0]);

    // Vertex spans of the ranges cover exactly the vertices their faces use.
    for (const xfile::AttributeRange& r : m.ranges) {
        uint32_t lo = 0xFFFFFFFF, hi = 0;
        for (uint32_t i = r.faceStart * 3; i < (r.faceStart + r.faceCount) * 3; ++i) {
            lo = std::min(lo, m.indices[i]);
            hi = std::max(hi, m.indices[i]);
        }
        EXPECT_EQ(lo, r.vertexStart);
        EXPECT_EQ(hi - lo + 1, r.vertexCount);
    }
}

TEST(XFileSample, BinaryAndTextGiveTheSameMesh) {
    ExpectSameMesh(MustParse(kSampleText), MustParse(SampleBinary(false)));
}

TEST(XFileSample, SixtyFourBitFloats) {
    MeshData single = MustParse(SampleBinary(false));
    MeshData twice = MustParse(SampleBinary(true));
    ExpectSameMesh(single, twice);
    // Doubles are read as 8-byte values and rounded to float.
    BinaryWriter w(true);
    w.Open("Mesh").Ints({3}).Floats({0.1, 1e10, -2.5, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 2}).Close();
    MeshData m = MustParse(w.bytes);
    ASSERT_EQ(3u, m.vertices.size());
    EXPECT_EQ((float)0.1, m.vertices[0].position[0]);
    EXPECT_EQ((float)1e10, m.vertices[0].position[1]);
    EXPECT_EQ(-2.5f, m.vertices[0].position[2]);
    // Text files with the 64-bit header read the same numbers.
    std::string text = kSampleText;
    text.replace(12, 4, "0064");
    ExpectSameMesh(MustParse(kSampleText), MustParse(text));
}

TEST(XFileSample, CompressedFormsInflateToTheSameMesh) {
#if XFILE_TEST_HAVE_ZLIB
    MeshData plain = MustParse(kSampleText);
    std::vector<uint8_t> text = Bytes(kSampleText);
    // Small blocks, so later blocks refer back into earlier ones.
    for (bool withHeader : {true, false}) {
        ExpectSameMesh(plain, MustParse(xtest::MsZip(text, "tzip", 64, withHeader)));
    }
    ExpectSameMesh(MustParse(SampleBinary(false)), MustParse(xtest::MsZip(SampleBinary(false), "bzip", 100, true)));

    // A corrupt block, a missing signature and a wrong size are failures.
    std::vector<uint8_t> packed = xtest::MsZip(text, "tzip", 64, true);
    MeshData m;
    std::vector<uint8_t> bad = packed;
    bad[20 + 4] = 'X';  // first block's "CK"
    EXPECT_EQ(Status::InvalidData, Parse(bad, &m));
    bad = packed;
    bad[16] ^= 0x40;  // declared size
    EXPECT_EQ(Status::InvalidData, Parse(bad, &m));
    bad = packed;
    for (size_t i = 26; i < 40; ++i) bad[i] = 0xFF;
    EXPECT_EQ(Status::InvalidData, Parse(bad, &m));
    bad.assign(packed.begin(), packed.begin() + (ptrdiff_t)(packed.size() / 2));
    EXPECT_EQ(Status::InvalidData, Parse(bad, &m));
#else
    SKIP_OR_FAIL_IN_CI() << "no zlib to make compressed files with";
#endif
}

// ---------------------------------------------------------------- text ----

// A single triangle, for wrapping into other structures.
const char* kTriangle = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }";

std::string XFile(const std::string& body) { return std::string("xof 0302txt 0032\n") + body; }

TEST(XFileText, LenientSeparatorsAndComments) {
    // ";;" and ",;" endings, separators doubled or missing where whitespace
    // already separates, comments anywhere.
    MeshData m = MustParse(
        XFile("Mesh tri { // name\n 3;\n 0.0;0.0;0.0;;, 1.0 0.0 0.0,; # coords\n 0;1;0;;\n 1;\n 3;0,1,2;,;\n }\n"));
    ASSERT_EQ(3u, m.vertices.size());
    EXPECT_EQ((std::vector<float>{1, 0, 0}), Corner(m, 0, 1));
    EXPECT_EQ((std::vector<float>{0, 1, 0}), Corner(m, 0, 2));
    EXPECT_FALSE(m.hasNormals);
    EXPECT_FALSE(m.hasTexcoords);
    EXPECT_FALSE(m.hasColors);
}

TEST(XFileText, NoMaterialListGivesOneWhiteUntexturedMaterial) {
    MeshData m = MustParse(XFile(kTriangle));
    ASSERT_EQ(1u, m.materials.size());
    EXPECT_EQ((std::vector<float>{1, 1, 1, 1}), std::vector<float>(m.materials[0].diffuse, m.materials[0].diffuse + 4));
    EXPECT_FALSE(m.materials[0].hasTexture);
    ASSERT_EQ(1u, m.ranges.size());
    EXPECT_EQ(0u, m.ranges[0].attribId);
}

TEST(XFileText, PolygonsAreFannedFromTheirFirstCorner) {
    MeshData m = MustParse(XFile("Mesh { 6; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;2;0;, 5;5;5;;\n"
                                 " 2; 5;0,1,2,3,4;, 3;3,4,5;; }"));
    ASSERT_EQ(4u, m.attributes.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), Face(m, 0));
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 3}), Face(m, 1));
    EXPECT_EQ((std::vector<uint32_t>{0, 3, 4}), Face(m, 2));
    EXPECT_EQ((std::vector<uint32_t>{3, 4, 5}), Face(m, 3));
}

TEST(XFileText, VertexColors) {
    MeshData m = MustParse(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                                 " MeshVertexColors { 2; 0;1.0;0.0;0.0;1.0;;, 2;0.0;0.0;1.0;0.5;;; } }"));
    EXPECT_TRUE(m.hasColors);
    EXPECT_EQ(0xFFFF0000u, m.vertices[0].color);
    EXPECT_EQ(0xFFFFFFFFu, m.vertices[1].color);  // not listed: white
    EXPECT_EQ(0x800000FFu, m.vertices[2].color);
}

TEST(XFileText, MaterialIndicesShorterThanFacesRepeatTheLast) {
    MeshData m = MustParse(XFile("Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;;\n"
                                 " 4; 3;0,1,2;, 3;1,3,2;, 3;0,2,1;, 3;2,3,1;;\n"
                                 " MeshMaterialList { 2; 2; 0, 1;;\n"
                                 "  Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
                                 "  Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; } } }"));
    // Faces 1, 2 and 3 take the last listed index, 1; face 0 takes 0.
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 1, 1}), m.attributes);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), Face(m, 0));
    EXPECT_EQ((std::vector<uint32_t>{1, 3, 2}), Face(m, 1));
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 1}), Face(m, 2));
    EXPECT_EQ((std::vector<uint32_t>{2, 3, 1}), Face(m, 3));
}

TEST(XFileText, SeveralMaterialsGiveSubsetsInMaterialOrder) {
    MeshData m = MustParse(XFile("Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;;\n"
                                 " 4; 3;0,1,2;, 3;1,3,2;, 3;0,2,1;, 3;2,3,1;;\n"
                                 " MeshMaterialList { 4; 4; 2, 0, 2, 1;;\n"
                                 "  Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
                                 "  Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"a.png\"; } }\n"
                                 "  Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; }\n"
                                 "  Material { 1;1;0;1;; 0; 0;0;0;; 0;0;0;; } } }"));
    ASSERT_EQ(4u, m.materials.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 2}), m.attributes);
    // Within material 2 the file order of faces 0 and 2 is kept.
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), Face(m, 2));
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 1}), Face(m, 3));
    // Material 3 has no faces and so no range.
    ASSERT_EQ(3u, m.ranges.size());
    EXPECT_EQ(2u, m.ranges[2].attribId);
    EXPECT_EQ(2u, m.ranges[2].faceStart);
    EXPECT_EQ(2u, m.ranges[2].faceCount);
    EXPECT_TRUE(m.materials[1].hasTexture);
    EXPECT_FALSE(m.materials[0].hasTexture);
    EXPECT_FALSE(m.materials[3].hasTexture);
    EXPECT_EQ(1.0f, m.materials[3].diffuse[1]);
}

TEST(XFileText, MaterialReferencesResolveByNameAndGuid) {
    const char* materials = "Material Green <11111111-2222-3333-4444-555555555555> { 0;1;0;1;; 3; 0;0;0;; 0;0;0;; "
                            "TextureFilename { \"green.bmp\"; } }\n"
                            "Material Blue { 0;0;1;1;; 7; 0;0;0;; 0;0;0;; }\n";
    std::string mesh =
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,2,1;;\n"
        " MeshMaterialList { 3; 2; 0, 2;; { Blue } { <11111111-2222-3333-4444-555555555555> } { Later } } }\n";
    const char* later = "Material Later { 1;1;1;1;; 9; 0;0;0;; 0;0;0;; }\n";
    MeshData m = MustParse(XFile(std::string(materials) + mesh + later));
    ASSERT_EQ(3u, m.materials.size());
    EXPECT_EQ(7.0f, m.materials[0].power);
    EXPECT_EQ(3.0f, m.materials[1].power);
    EXPECT_EQ("green.bmp", m.materials[1].textureFilename);
    EXPECT_EQ(9.0f, m.materials[2].power);  // defined after its use
    EXPECT_EQ((std::vector<uint32_t>{0, 2}), m.attributes);

    ExpectFails(XFile(std::string(materials) + mesh), "reference to an undefined material");

    // A name defined twice: a reference takes the definition last seen before it.
    MeshData twice =
        MustParse(XFile("Material A { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; }\n"
                        "Material A { 1;1;1;1;; 2; 0;0;0;; 0;0;0;; }\n"
                        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; { A } } }\n"
                        "Material A { 1;1;1;1;; 3; 0;0;0;; 0;0;0;; }\n"));
    ASSERT_EQ(1u, twice.materials.size());
    EXPECT_EQ(2.0f, twice.materials[0].power);
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; { } } }"),
                "empty reference");
}

TEST(XFileText, UnknownTemplatesAndObjectsAreSkipped) {
    MeshData m = MustParse(
        XFile("template Custom { <12345678-1234-1234-1234-123456789ABC> DWORD a; array FLOAT b[a]; [...] }\n"
              "Header { 1; 0; 1; }\n"
              "Custom c1 { 2; 1.0, 2.0;; Mesh hidden { 3; 9;9;9;, 9;9;9;, 9;9;9;; 1; 3;0,1,2;; } { SomeRef } }\n"
              "AnimationSet { Animation { { Frame1 } AnimationKey { 0; 1; 0; 4; 1.0, 0, 0, 0;;; } } }\n"
              "Frame F { Custom { 1; } " +
              std::string(kTriangle) +
              " }\n"
              "Mesh { 3; 5;5;5;, 6;5;5;, 5;6;5;; 1; 3;0,1,2;;\n"
              " XSkinMeshHeader { 1; 2; 3; }\n"
              " VertexDuplicationIndices { 3; 3; 0, 1, 2; }\n"
              " MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; Custom { \"x\"; } } } }\n"));
    // Only the Frame's triangle and the last Mesh are read; the Mesh inside the
    // unknown object is not.
    ASSERT_EQ(6u, m.vertices.size());
    for (const xfile::Vertex& v : m.vertices) EXPECT_NE(9.0f, v.position[0]);
    EXPECT_EQ(2u, m.materials.size());
}

TEST(XFileText, SeveralTopLevelMeshesAreMerged) {
    MeshData m = MustParse(XFile("Mesh a { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                                 " MeshMaterialList { 2; 1; 1;; Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
                                 "                             Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; } } }\n"
                                 "Mesh b { 4; 0;0;1;, 1;0;1;, 1;1;1;, 0;1;1;; 1; 4;0,1,2,3;;\n"
                                 " MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }\n"));
    // Mesh b's vertices follow mesh a's; b has no material list and gets a
    // default material after a's two.
    ASSERT_EQ(7u, m.vertices.size());
    ASSERT_EQ(3u, m.materials.size());
    EXPECT_EQ((std::vector<uint32_t>{1, 2, 2}), m.attributes);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), Face(m, 0));
    EXPECT_EQ((std::vector<uint32_t>{3, 4, 5}), Face(m, 1));
    EXPECT_EQ((std::vector<uint32_t>{3, 5, 6}), Face(m, 2));
    EXPECT_TRUE(m.hasNormals);
    EXPECT_EQ((std::vector<float>{0, 0, 0}), Normal(m, 0, 0));  // mesh a had none
    EXPECT_EQ((std::vector<float>{0, 0, 1}), Normal(m, 1, 0));
    EXPECT_EQ(1.0f, m.materials[2].diffuse[0]);
    EXPECT_EQ(1.0f, m.materials[2].diffuse[1]);
}

std::string Matrix(const float (&m)[16]) {
    std::string s = "FrameTransformMatrix { ";
    for (int i = 0; i < 16; ++i) s += std::to_string(m[i]) + (i < 15 ? "," : ";;");
    return s + " }\n";
}

TEST(XFileFrames, ChildMatrixFirstThenParent) {
    const float translate[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1};
    const float rotateZ90[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float scale2[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
    std::string mesh = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 1;0;0;; 1; 3;0,0,0;; } }\n";
    // The parent's matrix is written after its child frame; order in the file
    // must not matter.
    std::string file =
        XFile("Frame parent {\n Frame child {\n" + Matrix(translate) + mesh + " }\n" + Matrix(rotateZ90) + "}\n");
    MeshData m = MustParse(file);
    // (0,0,0) → translate → (1,0,0) → rotate → (0,1,0)
    EXPECT_NEAR(0.0f, Corner(m, 0, 0)[0], 1e-6);
    EXPECT_NEAR(1.0f, Corner(m, 0, 0)[1], 1e-6);
    // (1,0,0) → (2,0,0) → (0,2,0); (0,1,0) → (1,1,0) → (-1,1,0)
    EXPECT_NEAR(2.0f, Corner(m, 0, 1)[1], 1e-6);
    EXPECT_NEAR(-1.0f, Corner(m, 0, 2)[0], 1e-6);
    EXPECT_NEAR(1.0f, Corner(m, 0, 2)[1], 1e-6);
    // The normal turns with the rotation and ignores the translation.
    EXPECT_NEAR(0.0f, Normal(m, 0, 0)[0], 1e-6);
    EXPECT_NEAR(1.0f, Normal(m, 0, 0)[1], 1e-6);

    // Three levels with a scale: normals come out unit length again.
    MeshData s = MustParse(
        XFile("Frame a { " + Matrix(scale2) + " Frame b { Frame c { " + Matrix(translate) + mesh + " } } }\n"));
    EXPECT_NEAR(2.0f, Corner(s, 0, 0)[0], 1e-6);  // (0,0,0) + 1 along x, then doubled
    EXPECT_NEAR(4.0f, Corner(s, 0, 1)[0], 1e-6);
    EXPECT_NEAR(1.0f, Normal(s, 0, 0)[0], 1e-6);

    // A mesh beside a frame is not moved by it.
    MeshData beside = MustParse(XFile("Frame a { " + Matrix(translate) + " }\n" + mesh));
    EXPECT_EQ(0.0f, Corner(beside, 0, 0)[0]);
}

TEST(XFileNormals, SplitOnlyWhereNormalsDiffer) {
    // Two triangles sharing an edge: with one shared normal nothing is split;
    // with different normals per face the shared vertices are doubled.
    const char* mesh = "Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 2; 3;0,1,2;, 3;1,3,2;;\n";
    MeshData smooth = MustParse(XFile(std::string(mesh) + "MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; } }"));
    EXPECT_EQ(4u, smooth.vertices.size());
    // Two normal entries with equal values do not split either.
    MeshData same = MustParse(XFile(std::string(mesh) + "MeshNormals { 2; 0;0;1;, 0;0;1;; 2; 3;0,0,0;, 3;1,1,1;; } }"));
    EXPECT_EQ(4u, same.vertices.size());
    MeshData hard = MustParse(XFile(std::string(mesh) + "MeshNormals { 2; 0;0;1;, 0;1;0;; 2; 3;0,0,0;, 3;1,1,1;; } }"));
    ASSERT_EQ(6u, hard.vertices.size());
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ((std::vector<float>{0, 0, 1}), Normal(hard, 0, c));
        EXPECT_EQ((std::vector<float>{0, 1, 0}), Normal(hard, 1, c));
    }
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), Face(hard, 0));
    EXPECT_GE(hard.indices[3], 4u);  // the copy of vertex 1
    EXPECT_EQ(3u, hard.indices[4]);  // vertex 3 was unused until now
    EXPECT_GE(hard.indices[5], 4u);
    EXPECT_EQ(1u, hard.pointReps[hard.indices[3]]);
    EXPECT_EQ(2u, hard.pointReps[hard.indices[5]]);

    // A second face with the same second normal shares the copies made for the first.
    MeshData shared = MustParse(XFile("Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 3; 3;0,1,2;, 3;1,3,2;, 3;2,1,3;;\n"
                                      "MeshNormals { 2; 0;0;1;, 0;1;0;; 3; 3;0,0,0;, 3;1,1,1;, 3;1,1,1;; } }"));
    EXPECT_EQ(6u, shared.vertices.size());
    EXPECT_EQ(shared.indices[3], shared.indices[7]);  // vertex 1's copy
    EXPECT_EQ(shared.indices[5], shared.indices[6]);  // vertex 2's copy
}

// ------------------------------------------------------------ adjacency ----

TEST(XFileAdjacency, SharedEdgesAcrossSplitVertices) {
    // A quad fanned into two triangles with a hard normal seam: still adjacent.
    MeshData m = MustParse(XFile("Mesh { 5; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 9;9;9;; 3; 3;0,1,2;, 3;0,2,3;, 3;4,4,4;;\n"
                                 "MeshNormals { 2; 0;0;1;, 0;1;0;; 3; 3;0,0,0;, 3;1,1,1;, 3;0,0,0;; } }"));
    std::vector<uint32_t> adj;
    xfile::ComputeAdjacency(m, &adj);
    ASSERT_EQ(9u, adj.size());
    const uint32_t none = 0xFFFFFFFF;
    // Face 0 (0,1,2): edge 2 (2,0) meets face 1; face 1 (0,2,3): edge 0 (0,2) meets face 0.
    EXPECT_EQ((std::vector<uint32_t>{none, none, 1, 0, none, none, none, none, none}), adj);
}

TEST(XFileAdjacency, EdgeOfThreeFacesPairsTwo) {
    MeshData m =
        MustParse(XFile("Mesh { 5; 0;0;0;, 1;0;0;, 0;1;0;, 0;-1;0;, 0;0;1;; 3; 3;0,1,2;, 3;1,0,3;, 3;0,1,4;; }"));
    std::vector<uint32_t> adj;
    xfile::ComputeAdjacency(m, &adj);
    // Edge (0,1) is shared by all three faces; exactly one pair is joined and
    // the joins are mutual.
    int joined = 0;
    for (size_t f = 0; f < 3; ++f) {
        uint32_t other = adj[f * 3 + 0];
        if (other == 0xFFFFFFFF) continue;
        ++joined;
        EXPECT_NE(f, other);
        EXPECT_EQ(f, adj[other * 3 + 0]);
    }
    EXPECT_EQ(2, joined);
}

// -------------------------------------------------------- broken files ----

TEST(XFileBad, Headers) {
    MeshData m;
    EXPECT_EQ(Status::InvalidData, Parse(std::string(""), &m));
    EXPECT_EQ(Status::InvalidData, Parse(std::string("xof 0303txt 003"), &m));  // 15 bytes
    ExpectFails(std::string("xaf 0303txt 0032") + kTriangle, "bad magic");
    ExpectFails(std::string("xof 0201txt 0032") + kTriangle, "bad version");
    ExpectFails(std::string("xof 0303txz 0032") + kTriangle, "bad format");
    ExpectFails(std::string("xof 0303txt 0016") + kTriangle, "bad float size");
    // The header alone holds no mesh.
    ExpectFails("xof 0303txt 0032", "empty file");
    ExpectFails(XFile("Header { 1; 0; 1; }"), "no mesh");
    ExpectFails(XFile("Mesh { 0; 0; }"), "mesh without faces");
}

TEST(XFileBad, CountsAndIndices) {
    ExpectFails(XFile("Mesh { 4294967295; 0;0;0;; 1; 3;0,0,0;; }"), "huge vertex count");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 4294967295; 3;0,1,2;; }"), "huge face count");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 4294967295;0,1,2;; }"), "huge corner count");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }"), "index == vertex count");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,-1,2;; }"), "negative index");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1.5,2;; }"), "fractional index");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,99999999999999999999999,2;; }"), "overflowing index");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }"),
                "normal index out of range");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, "
                      "3;0,0,0;; } }"),
                "more normal faces than mesh faces");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,2,1;; MeshNormals { 1; 0;0;1;; 1; "
                      "3;0,0,0;; } }"),
                "fewer normal faces than mesh faces");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }"),
                "normal face corner count differs");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshTextureCoords { 2; 0;0;, 1;1;; } }"),
                "too few texture coordinates");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshVertexColors { 1; 3;1;1;1;1;;; } }"),
                "vertex colour index out of range");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 1;; "
                      "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"),
                "material index == material count");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 4294967295; 1; 0;; } }"),
                "huge material count");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2; 7; }"), "extra data after the faces");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;\"a\";0;; 1; 3;0,1,2;; }"), "string for a coordinate");
}

TEST(XFileBad, StructureAndTokens) {
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;"), "missing closing brace");
    ExpectFails(XFile("Frame { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }"), "frame not closed");
    ExpectFails(XFile("Mesh 3; }"), "no opening brace");
    ExpectFails(XFile(std::string(kTriangle) + " }"), "stray closing brace");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; Material { \"open }"), "unterminated string");
    ExpectFails(XFile("template T { <1234> }" + std::string(kTriangle)), "malformed guid");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; } @"), "stray character");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1e999;0;; 1; 3;0,1,2;; }"), "float out of range");
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1x;0;; 1; 3;0,1,2;; }"), "malformed number");
}

TEST(XFileBad, NameAndNestingLimits) {
    std::string longName(xfile::kMaxNameLength, 'n');
    MustParse(XFile("Mesh " + longName + " { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }"));
    ExpectFails(XFile("Mesh " + longName + "n { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }"), "name too long");
    std::string longString(xfile::kMaxNameLength + 1, 's');
    ExpectFails(XFile("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; Material { "
                      "1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"" +
                      longString + "\"; } } } }"),
                "string too long");

    // Frames nested to the limit load; one more level fails, and so do
    // unknown objects or bare braces nested past it.
    auto nested = [](const std::string& open, int levels) {
        std::string s;
        for (int i = 0; i < levels; ++i) s += open + " { ";
        s += kTriangle;
        for (int i = 0; i < levels; ++i) s += " }";
        return XFile(s);
    };
    MustParse(nested("Frame", xfile::kMaxDepth - 1));
    ExpectFails(nested("Frame", xfile::kMaxDepth), "frames too deep");
    ExpectFails(nested("Unknown", xfile::kMaxDepth + 1), "unknown objects too deep");
    std::string braces = XFile(std::string(kTriangle) + " Unknown ") + std::string(200, '{') + std::string(200, '}');
    ExpectFails(braces, "braces too deep");
    // Deep but legal skipping still works.
    MustParse(XFile(std::string(kTriangle) + " Unknown " + std::string(20, '{') + std::string(20, '}')));
}

TEST(XFileBad, CountsAreCheckedAgainstTheBytesLeft) {
    // Under every limit, but far more than a tiny file can hold: refused
    // before anything is read or allocated for them.
    for (const char* file :
         {"Mesh { 1000000; 0;0;0;; 1; 3;0,0,0;; }", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1000000; 3;0,1,2;; }",
          "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 1000000; 0;0;1;; } }",
          "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshVertexColors { 1000000; 0;1;1;1;1;; } }",
          "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1000000; 0;; } }"}) {
        MeshData m;
        std::string error;
        EXPECT_EQ(Status::InvalidData, Parse(XFile(file), &m, &error)) << file;
        EXPECT_NE(std::string::npos, error.find("more than the file holds")) << file << ": " << error;
    }
}

TEST(XFileBad, VertexLimit) {
    // Over the vertex limit fails at once, whatever follows.
    std::string error;
    MeshData m;
    EXPECT_EQ(Status::InvalidData,
              Parse(XFile("Mesh { " + std::to_string(xfile::kMaxVertices + 1) + "; 0;0;0;; }"), &m, &error));
    EXPECT_NE(std::string::npos, error.find(std::to_string(xfile::kMaxVertices))) << error;
    // Two meshes under the limit each but over it together fail too.
    BinaryWriter w;
    std::vector<double> coords((size_t)(xfile::kMaxVertices / 2 + 1) * 3, 0.0);
    for (int i = 0; i < 2; ++i) {
        w.Open("Mesh").Ints({xfile::kMaxVertices / 2 + 1}).Floats(coords).Ints({1, 3, 0, 1, 2}).Close();
    }
    EXPECT_EQ(Status::InvalidData, Parse(w.bytes, &m, &error));
}

TEST(XFileBad, EveryTruncationFails) {
    std::string text = kSampleText;
    size_t lastBrace = text.rfind('}');
    MeshData m;
    for (size_t n = 0; n < lastBrace; ++n) {
        ASSERT_EQ(Status::InvalidData, Parse(text.substr(0, n), &m)) << "text cut at " << n;
    }
    std::vector<uint8_t> bin = SampleBinary(false);
    for (size_t n = 0; n + 1 < bin.size(); ++n) {
        std::vector<uint8_t> cut(bin.begin(), bin.begin() + (ptrdiff_t)n);
        ASSERT_EQ(Status::InvalidData, Parse(cut, &m)) << "binary cut at " << n;
    }
}

TEST(XFileBad, BinaryTokens) {
    MeshData m;
    auto mesh = [](BinaryWriter& w) {
        w.Open("Mesh").Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 2}).Close();
    };
    {
        BinaryWriter w;
        mesh(w);
        EXPECT_EQ(Status::Ok, Parse(w.bytes, &m));
    }
    {
        BinaryWriter w;  // an unknown token type
        mesh(w);
        w.U16(99);
        EXPECT_EQ(Status::InvalidData, Parse(w.bytes, &m));
    }
    {
        BinaryWriter w;  // a list claiming 0xFFFFFFFF entries in a tiny file
        w.Open("Mesh").Token(BinaryWriter::INTEGER_LIST);
        w.U32(0xFFFFFFFF);
        w.U32(3);
        EXPECT_EQ(Status::InvalidData, Parse(w.bytes, &m));
    }
    {
        BinaryWriter w;  // a vertex count of 0xFFFFFFFF
        w.Open("Mesh").Integer(0xFFFFFFFF).Floats({0, 0, 0}).Ints({1, 3, 0, 0, 0}).Close();
        EXPECT_EQ(Status::InvalidData, Parse(w.bytes, &m));
    }
    {
        BinaryWriter w;  // a name longer than the limit
        w.Name("Mesh");
        w.Name(std::string(xfile::kMaxNameLength + 1, 'x'));
        w.Token(BinaryWriter::OBRACE).Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 2}).Close();
        EXPECT_EQ(Status::InvalidData, Parse(w.bytes, &m));
    }
    {
        BinaryWriter w;  // a name whose length runs past the end
        w.U16(BinaryWriter::NAME);
        w.U32(1000);
        w.Raw("Mesh");
        EXPECT_EQ(Status::InvalidData, Parse(w.bytes, &m));
    }
    {
        BinaryWriter w;  // face index == vertex count
        w.Open("Mesh").Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 3}).Close();
        EXPECT_EQ(Status::InvalidData, Parse(w.bytes, &m));
    }
    {
        BinaryWriter w;  // values as separate INTEGER tokens with separators also read
        w.Open("Mesh").Integer(3).Token(BinaryWriter::SEMICOLON).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0});
        w.Integer(1).Token(BinaryWriter::SEMICOLON).Integer(3).Ints({0, 1, 2}).Token(BinaryWriter::COMMA).Close();
        EXPECT_EQ(Status::Ok, Parse(w.bytes, &m));
        EXPECT_EQ(1u, m.attributes.size());
    }
}

}  // namespace
