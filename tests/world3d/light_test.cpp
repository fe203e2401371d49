// Light: what a lit model looks like under the stages' light, read back from
// the screen. A face turned up gets the white light on top of the ambient
// term; a face turned sideways or down only the ambient term, which is the
// material's colour times the ambient colour 0xFF443355.
#include <sys/stat.h>

#include "scenery_device.h"
#include "world3d/light.h"
#include "world3d/model.h"
#include "world3d/model_testing.h"
#include "xfile_writer.h"

namespace {

const float AMBIENT[3] = {0x44 / 255.0f, 0x33 / 255.0f, 0x55 / 255.0f};

int Expected(float value) {
    if (value > 1.0f) {
        value = 1.0f;
    }
    return (int)(value * 255.0f + 0.5f);
}

class LightTest : public SceneryDeviceTest {};

TEST_F(LightTest, FacesTurnedUpAreLitAndOthersGetOnlyTheAmbientTerm) {
    const std::string dir = EnterTempWorkingDirectory();
    mkdir("model", 0755);
    // Two rows of three quads (normal up, sideways, down): white and grey.
    const float normals[3][3] = {{0, 1, 0}, {1, 0, 0}, {0, -1, 0}};
    const float greys[2] = {1.0f, 0.5f};
    std::vector<TestQuad> quads;
    for (int row = 0; row < 2; row++) {
        for (int column = 0; column < 3; column++) {
            TestQuad q = {(column - 1) * 6.0f, row == 0 ? 3.0f : -3.0f, 2.0f, normals[column][0],
                          normals[column][1],  normals[column][2],      row};
            quads.push_back(q);
        }
    }
    WriteTextFile(GetModelFile(MODEL_PLAYER), MakeXFile(quads, {PlainMaterial(greys[0], greys[0], greys[0]),
                                                                PlainMaterial(greys[1], greys[1], greys[1])}));
    LoadModel(MODEL_PLAYER);
    ASSERT_TRUE(IsModelLoaded(MODEL_PLAYER));

    // Straight down onto the quads.
    D3DXMATRIX view, projection, world;
    D3DXVECTOR3 eye(0, 20, 0), at(0, 0, 0), up(0, 0, 1);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0471976f, 1.8666667f, 0.1f, 300.0f);
    D3DXMatrixIdentity(&world);
    Device()->SetTransform(D3DTS_VIEW, &view);
    Device()->SetTransform(D3DTS_PROJECTION, &projection);
    Device()->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);

    InitLight();
    BeginTestFrame(0xFF000000);
    DrawModel(MODEL_PLAYER, world);
    for (int row = 0; row < 2; row++) {
        for (int column = 0; column < 3; column++) {
            SCOPED_TRACE(testing::Message() << "row " << row << ", column " << column);
            int x = 0, y = 0;
            ASSERT_TRUE(ProjectToScreen(D3DXVECTOR3(quads[row * 3 + column].cx, 0, quads[row * 3 + column].cz), view,
                                        projection, &x, &y));
            const uint32_t pixel = ReadPixel(x, y);
            const float grey = greys[row];
            const float diffuse = column == 0 ? grey : 0.0f;  // only the face turned up
            EXPECT_NEAR(RED(pixel), Expected(diffuse + grey * AMBIENT[0]), 2);
            EXPECT_NEAR(GREEN(pixel), Expected(diffuse + grey * AMBIENT[1]), 2);
            EXPECT_NEAR(BLUE(pixel), Expected(diffuse + grey * AMBIENT[2]), 2);
        }
    }
    EndTestFrame();

    // The light is on the device as a white directional light pointing down.
    D3DLIGHT9 light;
    ASSERT_EQ(Device()->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(light.Direction.y, -1.0f);
    EXPECT_FLOAT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(light.Ambient.r, 0.0f);
    DWORD ambient = 0, normalize = FALSE;
    Device()->GetRenderState(D3DRS_AMBIENT, &ambient);
    Device()->GetRenderState(D3DRS_NORMALIZENORMALS, &normalize);
    EXPECT_EQ(ambient, 0xFF443355u);
    EXPECT_EQ(normalize, (DWORD)TRUE);
    ReleaseModel(MODEL_PLAYER);
    RemoveTempWorkingDirectory(dir);
}

}  // namespace
