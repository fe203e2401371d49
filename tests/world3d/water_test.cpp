// Water surface: the grid and strip it builds, the ripple slots, the wave
// front and heights, the strengths, the class buffers' lifetime, and the draw.
#include <math.h>

#include <memory>
#include <string>
#include <type_traits>

#include "ci_skip.h"
#include "scenery_device.h"
#include "winapi_testing.h"
#include "world3d/water.h"

namespace {

const int GRID = 100;
const int VERTICES = (GRID + 1) * GRID;

// Reads and writes the class's vertex buffer from the test.
template <class W>
std::vector<VertexWater> ReadVertices() {
    std::vector<VertexWater> all = ReadBuffer<VertexWater>(W::GetVertexBuffer());
    if (all.size() > (size_t)VERTICES) {
        all.resize(VERTICES);
    }
    return all;
}

template <class W, class F>
void EditVertices(F edit) {
    VertexWater* data = nullptr;
    ASSERT_EQ(W::GetVertexBuffer()->Lock(0, 0, (void**)&data, 0), D3D_OK);
    for (int i = 0; i < VERTICES; i++) {
        edit(data[i]);
    }
    W::GetVertexBuffer()->Unlock();
}

int At(int row, int column) { return row * GRID + column; }

template <class W>
class WaterTest : public SceneryDeviceTest {};

typedef ::testing::Types<WaterSurface, WaterSurface2> WaterClasses;
// Test names say which class: WaterSurface or WaterSurface2.
struct WaterClassName {
    template <class W>
    static std::string GetName(int) {
        return std::is_same<W, WaterSurface>::value ? "WaterSurface" : "WaterSurface2";
    }
};
TYPED_TEST_SUITE(WaterTest, WaterClasses, WaterClassName);

TYPED_TEST(WaterTest, BuildsAFlatGridOfThreeUnitSquares) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    ASSERT_NE(TypeParam::GetVertexBuffer(), nullptr);
    D3DVERTEXBUFFER_DESC desc;
    ASSERT_EQ(TypeParam::GetVertexBuffer()->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 4320000u);
    EXPECT_EQ(desc.FVF, (DWORD)0x142);
    EXPECT_EQ(sizeof(VertexWater), 144u);

    std::vector<VertexWater> v = ReadVertices<TypeParam>();
    ASSERT_EQ(v.size(), (size_t)VERTICES);
    EXPECT_FLOAT_EQ(v[At(0, 0)].x, -150.0f);
    EXPECT_FLOAT_EQ(v[At(0, 99)].x, 147.0f);
    EXPECT_FLOAT_EQ(v[At(0, 0)].z, 135.0f);
    EXPECT_FLOAT_EQ(v[At(100, 0)].z, -165.0f);
    EXPECT_FLOAT_EQ(v[At(45, 47)].x, -9.0f);
    EXPECT_FLOAT_EQ(v[At(45, 47)].z, 0.0f);
    for (int i = 0; i < VERTICES; i++) {
        ASSERT_EQ(v[i].y, 0.0f) << i;
        for (int k = 0; k < RIPPLE_MAX; k++) {
            ASSERT_EQ(v[i].rippleHeight[k], 0.0f);
            ASSERT_EQ(v[i].rippleDistance[k], 0.0f);
        }
    }
    // The rows run cyan, light cyan, white, and the water is translucent.
    const D3DCOLOR rgb[3] = {0x0000FFFF, 0x0090FFFF, 0x00FFFFFF};
    for (int r = 0; r <= GRID; r++) {
        const D3DCOLOR c = v[At(r, r % GRID)].diffuse;
        EXPECT_EQ(c & 0x00FFFFFF, rgb[r % 3]) << "row " << r;
        EXPECT_GT(c >> 24, 0x40u) << "row " << r;
        EXPECT_LT(c >> 24, 0xE0u) << "row " << r;
    }
}

TYPED_TEST(WaterTest, StripJoinsRowsWithRepeatedIndices) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    const int* staging = TypeParam::GetIndexStaging();
    std::vector<WORD> indices = ReadIndices(TypeParam::GetIndexBuffer());
    ASSERT_EQ(indices.size(), (size_t)WATER_INDEX_CAPACITY);
    for (int i = 0; i < WATER_INDEX_CAPACITY; i++) {
        ASSERT_EQ(indices[i], (WORD)staging[i]) << i;
    }
    // First strip: 100, 0, 101, 1, ..., 199, 99.
    for (int j = 0; j < GRID; j++) {
        ASSERT_EQ(staging[2 * j], 100 + j);
        ASSERT_EQ(staging[2 * j + 1], j);
    }
    EXPECT_EQ(staging[200], 99);
    EXPECT_EQ(staging[201], 200);
    EXPECT_EQ(staging[202], 200);
    EXPECT_EQ(staging[203], 100);
    EXPECT_EQ(staging[204], 201);
    EXPECT_EQ(staging[205], 101);
    // 100 strips of 200 and 99 joins of 2; the rest is 0.
    EXPECT_EQ(staging[20197], 9999);
    EXPECT_EQ(staging[20196], 10099);
    for (int i = 20198; i < WATER_INDEX_CAPACITY; i++) {
        ASSERT_EQ(staging[i], 0) << i;
    }
}

TYPED_TEST(WaterTest, RipplesTakeTheNextSlotPassingOverOneKeptSlot) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    for (int k = 0; k < RIPPLE_MAX; k++) {
        EXPECT_EQ(water->GetRippleStrength(k), 0.0f);
        EXPECT_EQ(water->GetRippleKeep(k), 0);
    }
    EXPECT_EQ(water->GetCurrentRipple(), 0);
    int slots[11];
    for (int n = 0; n < 11; n++) {
        water->AddRipple(0, 0, 0.001f * (n + 1), 0);
        slots[n] = water->GetCurrentRipple();
    }
    EXPECT_EQ(slots[0], 1);
    EXPECT_EQ(slots[8], 9);
    EXPECT_EQ(slots[9], 0);
    EXPECT_EQ(slots[10], 1);
    EXPECT_FLOAT_EQ(water->GetRippleStrength(0), 0.010f);
    EXPECT_FLOAT_EQ(water->GetRippleStrength(1), 0.011f);

    // The keep value given is stored in the slot; a kept slot is passed over
    // once, a second kept slot right behind it is taken anyway.
    std::unique_ptr<TypeParam> kept;
    water.reset();
    kept.reset(new TypeParam(GRID, GRID));
    kept->AddRipple(-10, 0, 0.006f, 1);
    EXPECT_EQ(kept->GetCurrentRipple(), 1);
    EXPECT_EQ(kept->GetRippleKeep(1), 1);
    kept->SetRippleKeep(2, 1);
    kept->SetRippleKeep(4, 1);
    kept->SetRippleKeep(5, 1);
    kept->AddRipple(0, 0, 0.002f, 0);
    EXPECT_EQ(kept->GetCurrentRipple(), 3);
    EXPECT_EQ(kept->GetRippleKeep(3), 0);
    kept->AddRipple(0, 0, 0.002f, 0);
    EXPECT_EQ(kept->GetCurrentRipple(), 5);
    // Slot 0 reached by wrapping is taken whatever its flag.
    kept->SetRippleKeep(0, 1);
    for (int n = 0; n < 4; n++) {
        kept->AddRipple(0, 0, 0.002f, 0);
    }
    EXPECT_EQ(kept->GetCurrentRipple(), 9);
    kept->AddRipple(0, 0, 0.002f, 0);
    EXPECT_EQ(kept->GetCurrentRipple(), 0);
    // The slot after 0 is 1, which the first ripple kept: passed over.
    kept->AddRipple(0, 0, 0.002f, 0);
    EXPECT_EQ(kept->GetCurrentRipple(), 2);
}

TYPED_TEST(WaterTest, FrontReachesAVertexOneUnitAwayInThe17thUpdate) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    water->AddRipple(-10, 0, 0.006f, 1);
    const int slot = water->GetCurrentRipple();
    const int vertex = At(45, 47);  // (-9, 0)
    std::vector<VertexWater> v = ReadVertices<TypeParam>();
    EXPECT_FLOAT_EQ(v[vertex].rippleDistance[slot], 1.0f);
    EXPECT_FLOAT_EQ(v[vertex].rippleAmplitude[slot], 7.97f);
    for (int frame = 1; frame <= 16; frame++) {
        water->Update();
        v = ReadVertices<TypeParam>();
        ASSERT_EQ(v[vertex].rippleHeight[slot], 0.0f) << "update " << frame;
        // Only the idle slots act on it: they hold it at the rest level.
        ASSERT_FLOAT_EQ(v[vertex].y, 0.00001f) << "update " << frame;
    }
    water->Update();
    v = ReadVertices<TypeParam>();
    EXPECT_NEAR(v[vertex].rippleDistance[slot], -0.02f, 1e-5f);
    const float step = 0.0478104f;  // 0.006 x 7.97 x cos(-0.02)
    EXPECT_NEAR(v[vertex].rippleHeight[slot], step, 1e-6f);
    EXPECT_NEAR(v[vertex].y, 0.00001f + step, 1e-6f);
    // The game's ripple is kept: its strength does not fade.
    EXPECT_FLOAT_EQ(water->GetRippleStrength(slot), 0.006f);
}

TYPED_TEST(WaterTest, NoHeightAtOrBeyondTheAmplitudesReach) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    water->AddRipple(-150, 135, 0.006f, 1);  // one corner of the grid
    const int slot = water->GetCurrentRipple();
    int far = 0, near = 0;
    for (const VertexWater& vertex : ReadVertices<TypeParam>()) {
        if (vertex.rippleDistance[slot] >= 266.67f) {
            EXPECT_EQ(vertex.rippleAmplitude[slot], 0.0f);
            far++;
        } else if (vertex.rippleDistance[slot] < 266.6f) {
            EXPECT_GT(vertex.rippleAmplitude[slot], 0.0f);
            near++;
        }
    }
    EXPECT_GT(far, 1000);
    EXPECT_GT(near, 1000);

    // Let the front pass everywhere at once, then check who moves.
    EditVertices<TypeParam>([&](VertexWater& vertex) { vertex.rippleDistance[slot] = -1.0f; });
    water->Update();
    for (const VertexWater& vertex : ReadVertices<TypeParam>()) {
        if (vertex.rippleAmplitude[slot] == 0.0f) {
            ASSERT_EQ(vertex.rippleHeight[slot], 0.0f);
            ASSERT_FLOAT_EQ(vertex.y, 0.00001f);
        } else {
            ASSERT_NE(vertex.rippleHeight[slot], 0.0f);
        }
    }
}

TYPED_TEST(WaterTest, IdleSurfaceSettlesAtTheRestLevel) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    for (int frame = 0; frame < 30; frame++) {
        water->Update();
    }
    for (const VertexWater& vertex : ReadVertices<TypeParam>()) {
        ASSERT_EQ(vertex.y, 0.00001f);
    }
    // From a height above it, the idle slots bring it down step by step.
    EditVertices<TypeParam>([](VertexWater& vertex) { vertex.y = 0.001f; });
    water->Update();
    std::vector<VertexWater> v = ReadVertices<TypeParam>();
    EXPECT_LT(v[0].y, 0.001f);
    EXPECT_GT(v[0].y, 0.0008f);
    for (int frame = 0; frame < 20; frame++) {
        water->Update();
    }
    EXPECT_NEAR(ReadVertices<TypeParam>()[0].y, 0.00001f, 0.00001f);
}

TYPED_TEST(WaterTest, StrengthsFadeWithoutKeepAndNegativeOnesAreCleared) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    water->AddRipple(0, 0, 0.006f, 0);  // slot 1, fades
    water->AddRipple(0, 0, 0.006f, 1);  // slot 2, kept
    water->SetRippleStrength(3, -0.5f);
    water->Update();
    EXPECT_NEAR(water->GetRippleStrength(1), 0.006f - 0.00001f, 1e-7f);
    EXPECT_FLOAT_EQ(water->GetRippleStrength(2), 0.006f);
    EXPECT_EQ(water->GetRippleStrength(3), 0.0f);

    // A fading ripple dies out after about 600 updates and is then cleared.
    for (int frame = 0; frame < 610; frame++) {
        water->Update();
    }
    EXPECT_EQ(water->GetRippleStrength(1), 0.0f);
    EXPECT_FLOAT_EQ(water->GetRippleStrength(2), 0.006f);
}

TYPED_TEST(WaterTest, TheGamesRippleSwingsTheSurfaceByUnderOneUnit) {
    std::unique_ptr<TypeParam> water(new TypeParam(GRID, GRID));
    water->AddRipple(-10, 0, 0.006f, 1);
    float highest = 0.0f, lowest = 0.0f;
    for (int frame = 0; frame < 220; frame++) {
        water->Update();
        if (frame % 10 != 9) {
            continue;
        }
        for (const VertexWater& vertex : ReadVertices<TypeParam>()) {
            highest = fmaxf(highest, vertex.y);
            lowest = fminf(lowest, vertex.y);
        }
    }
    // About strength x amplitude / 0.06 = 0.8 at the source: up first, then down.
    EXPECT_GT(highest, 0.5f);
    EXPECT_LT(highest, 0.85f);
    EXPECT_LT(lowest, -0.3f);
    EXPECT_GT(lowest, -0.85f);
}

TYPED_TEST(WaterTest, DestroyingReleasesTheClassBuffersButNeverANewerObjects) {
    TypeParam* first = new TypeParam(GRID, GRID);
    IDirect3DVertexBuffer9* buffer = TypeParam::GetVertexBuffer();
    ASSERT_NE(buffer, nullptr);
    buffer->AddRef();
    delete first;
    EXPECT_EQ(TypeParam::GetVertexBuffer(), nullptr);
    EXPECT_EQ(TypeParam::GetIndexBuffer(), nullptr);
    EXPECT_EQ(buffer->Release(), 0u);

    // An older object deleted after a newer one was made leaves the newer's
    // buffers alone; the newer one keeps working.
    TypeParam* older = new TypeParam(GRID, GRID);
    older->AddRipple(-10, 0, 0.006f, 1);
    TypeParam* newer = new TypeParam(GRID, GRID);
    older->Update();  // stale: must not touch the newer's vertices
    for (const VertexWater& vertex : ReadVertices<TypeParam>()) {
        ASSERT_EQ(vertex.y, 0.0f);
    }
    delete older;
    ASSERT_NE(TypeParam::GetVertexBuffer(), nullptr);
    newer->Update();
    EXPECT_FLOAT_EQ(ReadVertices<TypeParam>()[0].y, 0.00001f);
    delete newer;
    EXPECT_EQ(TypeParam::GetVertexBuffer(), nullptr);
}

TYPED_TEST(WaterTest, AGridTooLargeForTheBuffersBuildsNothing) {
    std::unique_ptr<TypeParam> water(new TypeParam(200, 200));
    EXPECT_EQ(water->GetRows(), 0);
    EXPECT_EQ(water->GetColumns(), 0);
    EXPECT_EQ(TypeParam::GetVertexBuffer(), nullptr);
    water->AddRipple(0, 0, 0.006f, 1);
    water->Update();
    const uint64_t before = WinapiTest_DrawCallCount(this->Device());
    water->Draw();
    EXPECT_EQ(WinapiTest_DrawCallCount(this->Device()), before);
}

TEST(WaterClasses, EachClassKeepsItsOwnBuffersAndAlphas) {
    if (!EnsureSceneryDevice()) {
        SKIP_OR_FAIL_IN_CI() << "no Direct3D device can be made here";
    }
    std::unique_ptr<WaterSurface> one(new WaterSurface(GRID, GRID));
    std::unique_ptr<WaterSurface2> two(new WaterSurface2(GRID, GRID));
    ASSERT_NE(WaterSurface::GetVertexBuffer(), nullptr);
    ASSERT_NE(WaterSurface2::GetVertexBuffer(), nullptr);
    EXPECT_NE((void*)WaterSurface::GetVertexBuffer(), (void*)WaterSurface2::GetVertexBuffer());
    std::vector<VertexWater> a = ReadVertices<WaterSurface>();
    std::vector<VertexWater> b = ReadVertices<WaterSurface2>();
    // Stage two's water is a shade more opaque on rows 1 and 2 of every three.
    EXPECT_EQ(a[At(0, 5)].diffuse >> 24, b[At(0, 5)].diffuse >> 24);
    EXPECT_EQ((b[At(1, 5)].diffuse >> 24) - (a[At(1, 5)].diffuse >> 24), 0x10u);
    EXPECT_EQ((b[At(2, 5)].diffuse >> 24) - (a[At(2, 5)].diffuse >> 24), 0x10u);
    EXPECT_EQ(a[At(1, 5)].diffuse >> 24, a[At(2, 5)].diffuse >> 24);

    one->AddRipple(-10, 0, 0.006f, 1);
    for (int i = 0; i < 40; i++) {
        one->Update();
    }
    EXPECT_NE(ReadVertices<WaterSurface>()[At(45, 47)].y, 0.00001f);
    for (const VertexWater& vertex : ReadVertices<WaterSurface2>()) {
        ASSERT_EQ(vertex.y, 0.0f);
    }
}

// The water seen from above, straight down over the middle of the grid.
class WaterDrawTest : public SceneryDeviceTest {
protected:
    void SetUp() override {
        SceneryDeviceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        D3DXVECTOR3 eye(0.0f, 20.0f, -30.0f), at(0.0f, 0.0f, -30.0f), up(0.0f, 0.0f, 1.0f);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, 1.0471976f, 1.8666667f, 0.1f, 300.0f);
        Device()->SetTransform(D3DTS_VIEW, &view);
        Device()->SetTransform(D3DTS_PROJECTION, &projection);
        Device()->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        Device()->SetRenderState(D3DRS_ZENABLE, TRUE);
    }

    D3DXMATRIX view, projection;
};

TEST_F(WaterDrawTest, ShowsTheRowColoursTranslucentlyWhateverTextureWasBound) {
    std::unique_ptr<WaterSurface> water(new WaterSurface(GRID, GRID));
    // Vertex rows 54, 55, 56 (cyan, light cyan, white) lie at z = -27, -30, -33.
    int px[3], py[3];
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(
            ProjectToScreen(D3DXVECTOR3(-1.5f, 0.0f, (45.0f - (54 + i)) * 3.0f), view, projection, &px[i], &py[i]));
    }

    // A black texture left bound by an earlier draw must not darken the water.
    IDirect3DTexture9* black = nullptr;
    ASSERT_EQ(Device()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &black, NULL), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(black->LockRect(0, &locked, NULL, 0), D3D_OK);
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 4; x++) {
            ((DWORD*)((BYTE*)locked.pBits + y * locked.Pitch))[x] = 0x00000000;
        }
    }
    black->UnlockRect(0);

    uint32_t withTexture[3], without[3];
    for (int pass = 0; pass < 2; pass++) {
        BeginTestFrame(0xFFFF0000);  // red below the water
        Device()->SetTexture(0, pass == 0 ? black : NULL);
        Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        water->Draw();
        // Stage 0 is left as it was found; lighting is left off.
        DWORD colorOp = 0, colorArg = 0, alphaOp = 0, alphaArg = 0, lighting = TRUE;
        Device()->GetTextureStageState(0, D3DTSS_COLOROP, &colorOp);
        Device()->GetTextureStageState(0, D3DTSS_COLORARG1, &colorArg);
        Device()->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
        Device()->GetTextureStageState(0, D3DTSS_ALPHAARG1, &alphaArg);
        Device()->GetRenderState(D3DRS_LIGHTING, &lighting);
        EXPECT_EQ(colorOp, (DWORD)D3DTOP_MODULATE);
        EXPECT_EQ(colorArg, (DWORD)D3DTA_TEXTURE);
        EXPECT_EQ(alphaOp, (DWORD)D3DTOP_MODULATE);
        EXPECT_EQ(alphaArg, (DWORD)D3DTA_TEXTURE);
        EXPECT_EQ(lighting, (DWORD)FALSE);
        Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        for (int i = 0; i < 3; i++) {
            (pass == 0 ? withTexture : without)[i] = ReadPixel(px[i], py[i]);
        }
        EndTestFrame();
    }
    black->Release();

    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(withTexture[i], without[i]);
        const uint32_t c = without[i];
        // Red shows through; the water's green and blue are laid over it.
        EXPECT_GT(RED(c), 0x40);
        EXPECT_GT(GREEN(c), 0x60);
        EXPECT_GT(BLUE(c), 0x60);
    }
    // Row 54 (modulo 3 = 0) is cyan, 55 light cyan, 56 white: red rises, and
    // even over the cyan row the red below is not covered up.
    EXPECT_LT(RED(without[0]), 0xC0);
    EXPECT_LT(RED(without[0]), RED(without[1]));
    EXPECT_LT(RED(without[1]), RED(without[2]));
}

}  // namespace
