// Ground, mountain ring and sky dome: what the builders put into the buffers,
// the strip's winding, and what a draw sets.
#include <math.h>

#include "ci_skip.h"
#include "device/keyboard.h"
#include "scenery_device.h"
#include "winapi_testing.h"
#include "world3d/mesh.h"
#include "world3d/mesh_testing.h"

namespace {

class MeshTest : public SceneryDeviceTest {
protected:
    void SetUp() override {
        SceneryDeviceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        // The stages' arguments, in the stages' order.
        InitMeshDome(10.0f, 350.0f, 20, 20);
        InitMeshCylinder(10.0f, 200.0f, 5, 2);
        InitMeshField(50.0f, 5, 5);
    }
    void TearDown() override { UninitMesh(); }

    std::vector<Vertex3D> Vertices(int slot) { return ReadBuffer<Vertex3D>(GetMeshVertexBuffer(slot)); }
    std::vector<WORD> Indices(int slot) { return ReadIndices(GetMeshIndexBuffer(slot)); }
};

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 out;
    D3DXVec3Cross(&out, &a, &b);
    return out;
}

// The face normals of the strip's non-degenerate triangles, each taken in the
// order the device sees the triangle (every second one swapped), so that each
// points to the side from which the triangle appears clockwise.
struct StripFace {
    D3DXVECTOR3 normal;
    D3DXVECTOR3 centre;
};
std::vector<StripFace> StripFaces(const std::vector<Vertex3D>& vertices, const std::vector<WORD>& indices,
                                  int triangles) {
    std::vector<StripFace> faces;
    for (int i = 0; i < triangles; i++) {
        WORD a = indices[i], b = indices[i + 1], c = indices[i + 2];
        if (i % 2 == 1) {
            std::swap(a, b);
        }
        const D3DXVECTOR3 pa = vertices[a].position, pb = vertices[b].position, pc = vertices[c].position;
        const D3DXVECTOR3 n = Cross(pb - pa, pc - pa);
        if (D3DXVec3Length(&n) < 1e-3f) {
            continue;  // a joining or apex triangle without area
        }
        StripFace face;
        face.normal = n;
        face.centre = (pa + pb + pc) / 3.0f;
        faces.push_back(face);
    }
    return faces;
}

TEST_F(MeshTest, SlotsHoldTheCountsOfTheStagesGrids) {
    struct Expect {
        int slot, vertices, indices, triangles;
    } expected[] = {{MESH_FIELD, 36, 68, 66}, {MESH_CYLINDER, 18, 26, 24}, {MESH_DOME, 441, 878, 876}};
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.slot);
        EXPECT_EQ(GetMeshVertexCount(e.slot), e.vertices);
        EXPECT_EQ(GetMeshPrimitiveCount(e.slot), e.triangles);
        EXPECT_EQ(Vertices(e.slot).size(), (size_t)e.vertices);
        std::vector<WORD> indices = Indices(e.slot);
        EXPECT_EQ(indices.size(), (size_t)e.indices);
        for (WORD index : indices) {
            ASSERT_LT(index, e.vertices);
        }
        D3DVERTEXBUFFER_DESC desc;
        ASSERT_EQ(GetMeshVertexBuffer(e.slot)->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.FVF, (DWORD)0x152);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    }
    EXPECT_EQ(sizeof(Vertex3D), 36u);
    for (int slot = 3; slot < MESH_SLOT_MAX; slot++) {
        EXPECT_EQ(GetMeshVertexBuffer(slot), nullptr);
    }
}

TEST_F(MeshTest, StripRunsBandByBandLowerRowFirstWithJoins) {
    // Field: 6 vertices per row.
    std::vector<WORD> field = Indices(MESH_FIELD);
    ASSERT_EQ(field.size(), 68u);
    const WORD firstBand[] = {6, 0, 7, 1, 8, 2, 9, 3, 10, 4, 11, 5};
    for (int i = 0; i < 12; i++) {
        EXPECT_EQ(field[i], firstBand[i]) << "index " << i;
    }
    EXPECT_EQ(field[12], 5);   // the band's last vertex again
    EXPECT_EQ(field[13], 12);  // the next band's first vertex in advance
    EXPECT_EQ(field[14], 12);
    EXPECT_EQ(field[15], 6);
    EXPECT_EQ(field[67], 29);  // last band ends on row 4, column 5
    EXPECT_EQ(field[66], 35);

    // Every band starts at an even position so all keep the same winding.
    std::vector<WORD> dome = Indices(MESH_DOME);
    for (int m = 0; m < 20; m++) {
        const int start = m * (2 * 21 + 2);
        ASSERT_EQ(start % 2, 0);
        EXPECT_EQ(dome[start], (m + 1) * 21);
        EXPECT_EQ(dome[start + 1], m * 21);
    }
}

TEST_F(MeshTest, FacesTurnTheirVisibleSideToTheViewerInside) {
    // Seen from above for the ground.
    std::vector<StripFace> field = StripFaces(Vertices(MESH_FIELD), Indices(MESH_FIELD), 66);
    EXPECT_EQ(field.size(), 50u);
    for (const StripFace& face : field) {
        EXPECT_GT(face.normal.y, 0.0f);
    }
    // Seen from the axis for the ring and the dome.
    for (int slot : {MESH_CYLINDER, MESH_DOME}) {
        SCOPED_TRACE(slot);
        std::vector<StripFace> faces = StripFaces(Vertices(slot), Indices(slot), GetMeshPrimitiveCount(slot));
        EXPECT_GT(faces.size(), 0u);
        for (const StripFace& face : faces) {
            const float outward = face.normal.x * face.centre.x + face.normal.z * face.centre.z;
            EXPECT_LT(outward, 0.0f) << "centre " << face.centre.x << ", " << face.centre.y << ", " << face.centre.z;
        }
    }
}

TEST_F(MeshTest, GroundIsASquareAtHeightMinusOneTexturedByWorldPosition) {
    std::vector<Vertex3D> v = Vertices(MESH_FIELD);
    ASSERT_EQ(v.size(), 36u);
    // Row 0 is the far edge, column 0 the left edge.
    EXPECT_FLOAT_EQ(v[0].position.x, -125.0f);
    EXPECT_FLOAT_EQ(v[0].position.z, 125.0f);
    EXPECT_FLOAT_EQ(v[35].position.x, 125.0f);
    EXPECT_FLOAT_EQ(v[35].position.z, -125.0f);
    EXPECT_FLOAT_EQ(v[6 * 2 + 3].position.x, 25.0f);
    EXPECT_FLOAT_EQ(v[6 * 2 + 3].position.z, 25.0f);
    for (const Vertex3D& vertex : v) {
        EXPECT_FLOAT_EQ(vertex.position.y, -1.0f);
        EXPECT_FLOAT_EQ(vertex.texcoord.x, vertex.position.x);
        EXPECT_FLOAT_EQ(vertex.texcoord.y, vertex.position.z);
    }
    for (int slot : {MESH_FIELD, MESH_CYLINDER, MESH_DOME}) {
        for (const Vertex3D& vertex : Vertices(slot)) {
            EXPECT_EQ(vertex.diffuse, 0xFFFFFFFFu);
            EXPECT_FLOAT_EQ(vertex.normal.y, 0.5f);
            EXPECT_FLOAT_EQ(vertex.normal.z, -1.0f);
        }
    }
}

TEST_F(MeshTest, MountainRingClosesAtTheSeamWithDifferentU) {
    std::vector<Vertex3D> v = Vertices(MESH_CYLINDER);
    ASSERT_EQ(v.size(), 18u);
    for (int z = 0; z <= 2; z++) {
        SCOPED_TRACE(z);
        const Vertex3D& first = v[z * 6];
        const Vertex3D& last = v[z * 6 + 5];
        EXPECT_NEAR(first.position.x, last.position.x, 1e-3f);
        EXPECT_NEAR(first.position.z, last.position.z, 1e-3f);
        EXPECT_FLOAT_EQ(first.position.y, last.position.y);
        EXPECT_FLOAT_EQ(first.texcoord.x, 1.0f);
        EXPECT_FLOAT_EQ(last.texcoord.x, 1.0f / 6.0f);
        // Row 0 is the top ring; the ring stands on height 0.
        EXPECT_FLOAT_EQ(first.position.y, 20.0f - 10.0f * z);
        EXPECT_FLOAT_EQ(first.texcoord.y, (z - 3) / 3.0f);
        for (int x = 0; x < 6; x++) {
            const float radius = hypotf(v[z * 6 + x].position.x, v[z * 6 + x].position.z);
            EXPECT_NEAR(radius, 200.0f, 1e-2f);
        }
    }
    // Column 0 at angle 0 lies on +z, column 1 at 72 degrees towards +x.
    EXPECT_NEAR(v[0].position.z, 200.0f, 1e-3f);
    EXPECT_NEAR(v[1].position.x, 200.0f * sinf(72.0f * 0.017453292f), 1e-2f);
}

TEST_F(MeshTest, DomeRisesFromTheRimToTheApex) {
    std::vector<Vertex3D> v = Vertices(MESH_DOME);
    ASSERT_EQ(v.size(), 441u);
    for (int x = 0; x <= 20; x++) {
        SCOPED_TRACE(x);
        const Vertex3D& apex = v[x];
        const Vertex3D& second = v[21 + x];
        const Vertex3D& rim = v[20 * 21 + x];
        EXPECT_FLOAT_EQ(apex.position.x, 0.0f);
        EXPECT_FLOAT_EQ(apex.position.z, 0.0f);
        EXPECT_FLOAT_EQ(apex.position.y, 100.0f);
        EXPECT_FLOAT_EQ(apex.texcoord.y, 21.0f / 22.0f);
        EXPECT_FLOAT_EQ(second.texcoord.y, -20.0f / 22.0f);
        EXPECT_FLOAT_EQ(apex.texcoord.x, (21.0f - x) / 22.0f);
        EXPECT_NEAR(rim.position.y, -100.0f, 1e-3f);
        EXPECT_NEAR(hypotf(rim.position.x, rim.position.z), 350.0f * 20.0f / 21.0f, 1e-2f);
    }
    // Row heights (20 x 10 - h) - 100 in single precision, h summed row by
    // row from z x 10 / 21 x 2; subtracting 100 before h would put rows 2-5,
    // 7-9 and 11 one float step off.
    const float rowHeight[20] = {
        0x1.8c30c4p+6f,  0x1.849248p+6f, 0x1.792494p+6f, 0x1.69e7ap+6f,  0x1.56db6cp+6f,  0x1.4p+6f,
        0x1.255554p+6f,  0x1.06db7p+6f,  0x1.c9249p+5f,  0x1.7cf3dp+5f,  0x1.29249p+5f,   0x1.9b6db8p+4f,
        0x1.aaaabp+3f,   0.0f,           -0x1.c9249p+3f, -0x1.d8618p+4f, -0x1.6db6d8p+5f, -0x1.f6db68p+5f,
        -0x1.43cf38p+6f, -0x1.8ffffcp+6f};
    for (int z = 1; z <= 20; z++)
        for (int x = 0; x <= 20; x++) EXPECT_EQ(v[z * 21 + x].position.y, rowHeight[z - 1]) << z << ", " << x;
    // Each ring lower and wider than the one above.
    for (int z = 1; z <= 20; z++) {
        EXPECT_LT(v[z * 21].position.y, v[(z - 1) * 21].position.y) << "row " << z;
        EXPECT_GT(hypotf(v[z * 21 + 3].position.x, v[z * 21 + 3].position.z),
                  hypotf(v[(z - 1) * 21 + 3].position.x, v[(z - 1) * 21 + 3].position.z))
            << "row " << z;
    }
}

TEST_F(MeshTest, DrawUsesOneUnlitCallAndEmptySlotsDrawNothing) {
    BeginTestFrame(0xFF000000);
    Device()->SetRenderState(D3DRS_LIGHTING, TRUE);
    const uint64_t before = WinapiTest_DrawCallCount(Device());
    DrawMesh(MESH_FIELD);
    EXPECT_EQ(WinapiTest_DrawCallCount(Device()), before + 1);
    DWORD lighting = TRUE, fvf = 0;
    Device()->GetRenderState(D3DRS_LIGHTING, &lighting);
    Device()->GetFVF(&fvf);
    EXPECT_EQ(lighting, (DWORD)FALSE);
    EXPECT_EQ(fvf, (DWORD)0x152);

    DrawMesh(4);
    DrawMesh(-1);
    DrawMesh(MESH_SLOT_MAX);
    EXPECT_EQ(WinapiTest_DrawCallCount(Device()), before + 1);

    UninitMesh();
    for (int slot = 0; slot < 3; slot++) {
        EXPECT_EQ(GetMeshVertexBuffer(slot), nullptr);
        EXPECT_EQ(GetMeshIndexBuffer(slot), nullptr);
        DrawMesh(slot);
    }
    EXPECT_EQ(WinapiTest_DrawCallCount(Device()), before + 1);
    EndTestFrame();
}

TEST_F(MeshTest, GridsThatDoNotFitLeaveTheSlotEmpty) {
    // 301 x 301 vertices would overflow 16-bit indices; 0 columns has no ring.
    InitMeshField(1.0f, 300, 300);
    EXPECT_EQ(GetMeshVertexBuffer(MESH_FIELD), nullptr);
    EXPECT_EQ(GetMeshVertexCount(MESH_FIELD), 0);
    InitMeshCylinder(10.0f, 200.0f, 0, 2);
    EXPECT_EQ(GetMeshVertexBuffer(MESH_CYLINDER), nullptr);
    InitMeshDome(10.0f, 350.0f, 20, -1);
    EXPECT_EQ(GetMeshVertexBuffer(MESH_DOME), nullptr);

    // Rebuilding a slot in place works without an UninitMesh in between.
    InitMeshField(50.0f, 5, 5);
    InitMeshField(50.0f, 2, 3);
    EXPECT_EQ(GetMeshVertexCount(MESH_FIELD), 12);
    EXPECT_EQ(Vertices(MESH_FIELD).size(), 12u);
}

TEST_F(MeshTest, HoldingCShowsWireframeAndReleasingItRestoresSolid) {
    if (!EnsureSceneryKeyboard()) {
        SKIP_OR_FAIL_IN_CI() << "no keyboard device";
    }
    DWORD fill = 0;
    WinapiTest_SetKey(DIK_C, true);
    UpdateKeyboard();
    BeginTestFrame(0xFF000000);
    DrawMesh(MESH_FIELD);
    Device()->GetRenderState(D3DRS_FILLMODE, &fill);
    EXPECT_EQ(fill, (DWORD)D3DFILL_WIREFRAME);
    EndTestFrame();

    WinapiTest_SetKey(DIK_C, false);
    UpdateKeyboard();
    BeginTestFrame(0xFF000000);
    DrawMesh(MESH_FIELD);
    Device()->GetRenderState(D3DRS_FILLMODE, &fill);
    EXPECT_EQ(fill, (DWORD)D3DFILL_SOLID);
    EndTestFrame();
}

}  // namespace
