#include "demo/skybox_plugin.h"

#include <gtest/gtest.h>

#include <memory>

#include "demo/script_reader.h"
#include "demo/script_writer.h"
#include "gfx/skybox_mesh.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"
#include "tests/support/png_writer.h"
#include "tests/support/show_device.h"
#include "tests/support/test_images.h"

namespace {

const char* const kFaces[6] = {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG",
                               "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"};
// Solid colours of the faces other than the front, which shows quadrants.
const uint32_t kFaceColours[6] = {0, 0xFF808000u, 0xFF008080u, 0xFF800080u, 0xFFFF8000u, 0xFF0080FFu};

TestImage Solid(uint32_t argb)
{
    return TestImage{4, 4, std::vector<uint32_t>(16, argb)};
}

class SkyBoxTest : public ShowDeviceInTempDirTest {
protected:
    // Writes the pack with every face but those named in `missing`.
    void WriteFaces(int missing = -1)
    {
        std::vector<PackMember> members;
        for (int i = 0; i < 6; ++i) {
            if (i == missing)
                continue;
            TestImage image = i == 0 ? QuadrantImage() : Solid(kFaceColours[i]);
            members.push_back({kFaces[i], EncodeTga(image, 24, false, TgaRows::BottomUp)});
        }
        ASSERT_TRUE(WritePack("data.pac", members));
    }

    std::vector<uint32_t> DrawFrom(SkyBoxPlugIn* skybox, D3DVECTOR eye, D3DVECTOR target)
    {
        IDirect3DDevice8* device = s_device->Device();
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000u, 1.0f, 0);
        skybox->Draw(eye, target);
        device->EndScene();
        std::vector<uint32_t> pixels = s_device->ReadBack();
        EXPECT_EQ(s_device->width, 640u);
        return pixels;
    }
};

uint32_t At(const std::vector<uint32_t>& pixels, int x, int y)
{
    return pixels[size_t(y) * 640 + size_t(x)] & 0x00FFFFFFu;
}

TEST_F(SkyBoxTest, LookingAlongPlusZShowsTheFrontFaceUpright)
{
    WriteFaces();
    SkyBoxPlugIn skybox(s_device->Layer());
    BoxCapture boxes;
    ASSERT_EQ(skybox.Load(kFaces[0], kFaces[1], kFaces[2], kFaces[3], kFaces[4], kFaces[5]), 0);
    EXPECT_TRUE(boxes.boxes.empty());

    std::vector<uint32_t> pixels = DrawFrom(&skybox, {0, 0, 0}, {0, 0, 1});
    WritePngArgb(TestOutputPath("SkyBoxTest.FrontFace"), 640, 480, pixels);
    // The image's quadrants: red top-left, green top-right, blue bottom-left,
    // white bottom-right.
    EXPECT_EQ(At(pixels, 160, 120), 0xFF0000u);
    EXPECT_EQ(At(pixels, 480, 120), 0x00FF00u);
    EXPECT_EQ(At(pixels, 160, 360), 0x0000FFu);
    EXPECT_EQ(At(pixels, 480, 360), 0xFFFFFFu);
}

TEST_F(SkyBoxTest, EachDirectionShowsItsFace)
{
    WriteFaces();
    SkyBoxPlugIn skybox(s_device->Layer());
    ASSERT_EQ(skybox.Load(kFaces[0], kFaces[1], kFaces[2], kFaces[3], kFaces[4], kFaces[5]), 0);
    const struct {
        int face;
        D3DVECTOR direction;
    } views[] = {
        {1, {0, 0, -1}},
        {2, {0, -1, 0.001f}}, // straight up or down would leave the up vector no side to turn
        {3, {0, 1, 0.001f}},
        {4, {1, 0, 0}},
        {5, {-1, 0, 0}},
    };
    for (const auto& view : views) {
        std::vector<uint32_t> pixels = DrawFrom(&skybox, {0, 0, 0}, view.direction);
        EXPECT_EQ(At(pixels, 320, 240), kFaceColours[view.face] & 0x00FFFFFFu) << kFaces[view.face];
    }
}

TEST_F(SkyBoxTest, MovingTheCameraWithoutTurningLeavesTheBackgroundUnchanged)
{
    WriteFaces();
    SkyBoxPlugIn skybox(s_device->Layer());
    ASSERT_EQ(skybox.Load(kFaces[0], kFaces[1], kFaces[2], kFaces[3], kFaces[4], kFaces[5]), 0);
    const D3DVECTOR direction = {0.3f, 0.2f, 1.0f};
    std::vector<uint32_t> atOrigin = DrawFrom(&skybox, {0, 0, 0}, direction);
    WritePngArgb(TestOutputPath("SkyBoxTest.TurnedCamera"), 640, 480, atOrigin);
    std::vector<uint32_t> moved =
        DrawFrom(&skybox, {150.0f, -40.0f, 900.0f}, {150.0f + 0.3f, -40.0f + 0.2f, 901.0f});
    EXPECT_TRUE(atOrigin == moved);
}

TEST_F(SkyBoxTest, AMissingFaceIsReportedAndTheLaterFacesAreNotLoaded)
{
    WriteFaces(4);
    SkyBoxPlugIn skybox(s_device->Layer());
    BoxCapture boxes;
    EXPECT_EQ(skybox.Load(kFaces[0], kFaces[1], kFaces[2], kFaces[3], kFaces[4], kFaces[5]), 0);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                                 "LibUtils : file Otter_LF.JPG not found in the data.pac zipfile\n",
                                 "LibDX\t:\tCannot open Texture : Otter_LF.JPG",
                                 "LibDX : Cannot load : Otter_LF.JPG ",
                             }));
    ASSERT_NE(skybox.GetMesh(), nullptr);
    EXPECT_NE(skybox.GetMesh()->GetFaceTexture(3), nullptr);
    EXPECT_EQ(skybox.GetMesh()->GetFaceTexture(4), nullptr);
    EXPECT_EQ(skybox.GetMesh()->GetFaceTexture(5), nullptr); // not attempted
    // Faces without a texture show the unlit vertices' white.
    std::vector<uint32_t> pixels = DrawFrom(&skybox, {0, 0, 0}, {1, 0, 0});
    EXPECT_EQ(At(pixels, 320, 240), 0xFFFFFFu);
}

TEST_F(SkyBoxTest, DrawRestoresWhatTheSceneRelies)
{
    WriteFaces();
    SkyBoxPlugIn skybox(s_device->Layer());
    ASSERT_EQ(skybox.Load(kFaces[0], kFaces[1], kFaces[2], kFaces[3], kFaces[4], kFaces[5]), 0);
    IDirect3DDevice8* device = s_device->Device();
    D3DMATRIX view = {};
    view._11 = view._22 = view._33 = view._44 = 2.0f;
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    DrawFrom(&skybox, {0, 0, 0}, {0, 0, 1});

    D3DMATRIX after = {};
    device->GetTransform(D3DTS_VIEW, &after);
    EXPECT_EQ(after._11, 2.0f);
    DWORD value = 0;
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    device->GetRenderState(D3DRS_ZWRITEENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE)); // nothing drawn later lies behind the box
    device->GetTextureStageState(0, D3DTSS_ADDRESSU, &value);
    EXPECT_EQ(value, DWORD(D3DTADDRESS_WRAP));
    device->SetTexture(0, nullptr);
    D3DMATRIX identity = {};
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    device->SetTransform(D3DTS_VIEW, &identity);
}

TEST(BackgroundPlugIn, ReadsWhatItWrites)
{
    SkyBoxPlugIn written(nullptr);
    BoxCapture boxes; // no device: the load fails, but the names are kept
    EXPECT_EQ(written.Load("a", "b", "c", "d", "e", "f"), 1);
    ScriptWriter writer;
    written.Write(&writer);
    EXPECT_EQ(writer.Bytes().size(), 8u + 6u * 2u);

    SkyBoxPlugIn read(nullptr);
    ScriptReader reader(writer.Bytes().data(), writer.Bytes().size());
    EXPECT_EQ(read.Read(&reader), 0);
    EXPECT_EQ(read.GetFaceName(5), "f");
    // The end of the data ends the last name, but a name missing altogether
    // fails the read.
    ScriptReader unterminated(writer.Bytes().data(), writer.Bytes().size() - 1);
    EXPECT_EQ(read.Read(&unterminated), 0);
    EXPECT_EQ(read.GetFaceName(5), "f");
    ScriptReader cut(writer.Bytes().data(), writer.Bytes().size() - 2);
    EXPECT_EQ(read.Read(&cut), 1);
}

} // namespace
