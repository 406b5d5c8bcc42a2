// The Marble1 sequence: its logo and caption timeline as data, the second
// scene that joins the main one at frame 1490, and the captions on screen.
#include "demo/marble1_effect.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "scene/mesh.h"
#include "tests/demo/scene_effect_fixture.h"
#include "tests/support/png_writer.h"

namespace {

uint32_t Bits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Whether the cue shows at music time t (ms), and its opacity.
bool AlphaAt(const OverlayCue& cue, float t, int* alpha)
{
    return OverlayAlpha(cue, OverlaySeconds(t), alpha);
}

TEST(OverlayTimeline, ImagesRangesRatesAndPlacement)
{
    const struct {
        const char* image;
        float a, b, c;
    } expected[kOverlayCueCount] = {
        {"Kestrel.TGA", 0, 8, 11},   {"Marble01.TGA", 11, 15, 20}, {"Marble02.TGA", 20, 24, 26},
        {"Marble03.TGA", 26, 28, 30}, {"Marble04.TGA", 29, 32, 33}, {"Marble05.TGA", 32, 35, 36},
        {"Marble06.TGA", 35, 38, 39}, {"Marble07.TGA", 38, 41, 42}, {"Marble08.TGA", 41, 44, 45},
        {"Marble09.TGA", 44, 47, 48}, {"Marble10.TGA", 48, 51, 55},
    };
    for (int i = 0; i < kOverlayCueCount; ++i) {
        const OverlayCue& cue = kOverlayTimeline[i];
        SCOPED_TRACE(cue.image);
        EXPECT_STREQ(cue.image, expected[i].image);
        EXPECT_EQ(cue.fadeIn, expected[i].a);
        EXPECT_EQ(cue.fadeOut, expected[i].b);
        EXPECT_EQ(cue.end, expected[i].c);
        int alpha = -1;
        EXPECT_TRUE(AlphaAt(cue, cue.fadeIn * 1000.0f, &alpha));
        EXPECT_EQ(alpha, 0); // fading in from nothing
        EXPECT_TRUE(AlphaAt(cue, cue.fadeOut * 1000.0f, &alpha));
        EXPECT_EQ(alpha, 255); // fully there, fading out from now
        EXPECT_TRUE(AlphaAt(cue, std::nextafter(cue.end * 1000.0f, 0.0f), &alpha));
        EXPECT_LE(alpha, 1); // almost gone
        EXPECT_FALSE(AlphaAt(cue, cue.end * 1000.0f, &alpha));
        if (cue.fadeIn > 0.0f) {
            EXPECT_FALSE(AlphaAt(cue, std::nextafter(cue.fadeIn * 1000.0f, 0.0f), &alpha));
        }
        const bool logo = i == 0;
        EXPECT_EQ(cue.xOffset, 0.0f);
        EXPECT_EQ(cue.yOffset, logo ? 0.0f : -0.33f);
        EXPECT_EQ(cue.width, logo ? 0.4f : 0.6f);
        EXPECT_EQ(cue.height, 0.1f);
    }

    // The rates as the float32 constants they are.
    EXPECT_EQ(Bits(kOverlayTimeline[0].rateIn), Bits(32.0f));
    EXPECT_EQ(Bits(kOverlayTimeline[0].rateOut), 0x42AAAA7Fu); // 85.333
    EXPECT_EQ(Bits(kOverlayTimeline[1].rateOut), 0x424CCCCDu); // 51.2
    for (int i = 4; i <= 9; ++i) {
        EXPECT_EQ(Bits(kOverlayTimeline[i].rateIn), 0x42AAA8F6u) << i; // 85.33
        EXPECT_EQ(kOverlayTimeline[i].rateOut, 256.0f) << i;
    }
    EXPECT_EQ(Bits(kOverlayTimeline[10].rateIn), 0x42AAAA7Fu);
    EXPECT_EQ(kOverlayTimeline[10].rateOut, 64.0f);
}

TEST(OverlayTimeline, OverlapAndOpacityBytes)
{
    // At 29.5 s only the third caption (fading out) and the fourth (fading
    // in) show.
    int shown = 0;
    for (int i = 0; i < kOverlayCueCount; ++i) {
        int alpha = -1;
        if (!AlphaAt(kOverlayTimeline[i], 29500.0f, &alpha))
            continue;
        ++shown;
        if (i == 3)
            EXPECT_EQ(alpha, 63); // 255 - trunc(1.5 x 128)
        else if (i == 4)
            EXPECT_EQ(alpha, 42); // trunc(0.5 x 85.33)
        else
            ADD_FAILURE() << kOverlayTimeline[i].image << " shows at 29.5 s";
    }
    EXPECT_EQ(shown, 2);

    // Only the low 8 bits of an opacity reach the screen; over the whole
    // timeline, including the last float before every boundary, the opacity
    // never leaves them, so no image flashes on at a range's edge.
    std::vector<float> times;
    for (int ms = 0; ms <= 56000; ++ms)
        times.push_back(static_cast<float>(ms));
    for (const OverlayCue& cue : kOverlayTimeline)
        for (float boundary : {cue.fadeIn, cue.fadeOut, cue.end})
            times.push_back(std::nextafter(boundary * 1000.0f, 0.0f));
    for (const OverlayCue& cue : kOverlayTimeline) {
        for (float t : times) {
            int alpha = 0;
            if (AlphaAt(cue, t, &alpha)) {
                ASSERT_GE(alpha, 0) << cue.image << " at " << t;
                ASSERT_LE(alpha, 255) << cue.image << " at " << t;
            }
        }
    }
}

class Marble1Test : public SceneEffectTest {
protected:
    // Both scenes and every image but those in `missing`; the first caption
    // is red, the others white.
    void WriteShowPack(std::initializer_list<const char*> missing = {})
    {
        std::vector<PackMember> members = {SceneMember(Marble1Effect::kMainSceneFile, ClockScene(3000, 30)),
                                           SceneMember(Marble1Effect::kSecondSceneFile, ClockScene(100, 30))};
        for (const OverlayCue& cue : kOverlayTimeline) {
            bool skip = false;
            for (const char* name : missing)
                skip = skip || std::strcmp(name, cue.image) == 0;
            if (!skip)
                members.push_back(ImageMember(cue.image, cue.image == kOverlayTimeline[1].image ? 0xFFFF0000u
                                                                                                : 0xFFFFFFFFu));
        }
        ASSERT_TRUE(WritePack("data.pac", members));
    }

    // Draws the effect at music time t over black, after an additive
    // material's blend factors, and reads the frame back.
    std::vector<uint32_t> DrawAt(Marble1Effect* effect, float t)
    {
        IDirect3DDevice8* device = s_device->Device();
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000u, 1.0f, 0);
        effect->Update(t);
        device->EndScene();
        return s_device->ReadBack();
    }

    static uint32_t At(const std::vector<uint32_t>& pixels, int x, int y)
    {
        return pixels[size_t(y) * 640 + size_t(x)] & 0x00FFFFFFu;
    }

    // Each channel of the pixel within 1 of the expected one.
    static void ExpectNear(uint32_t pixel, uint32_t rgb, const char* where)
    {
        for (int shift : {0, 8, 16}) {
            const int got = int(pixel >> shift & 0xFF);
            const int want = int(rgb >> shift & 0xFF);
            EXPECT_NEAR(got, want, 1) << where << std::hex << " pixel " << pixel;
        }
    }
};

TEST_F(Marble1Test, SecondSceneJoinsAtFrame1490AndHoldsItsFrame0PastItsEnd)
{
    WriteShowPack();
    Marble1Effect effect(s_device->Layer());
    ASSERT_EQ(ReadRecord(&effect, Record("marble", 0.0f, 200000.0f)), 0);
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(effect.GetKind(), kEffectKindMarble1);
    for (int cue = 0; cue < kOverlayCueCount; ++cue)
        EXPECT_NE(effect.GetImage(cue), nullptr) << cue;
    ScriptWriter written;
    effect.Write(&written);
    EXPECT_EQ(written.Bytes(), Record("marble", 0.0f, 200000.0f).Bytes());

    CScene* second = effect.GetSecondScene();
    ASSERT_NE(second, nullptr);
    CMesh* mesh = second->meshes.First();
    ASSERT_NE(mesh, nullptr);
    mesh->inView = 0;

    const struct {
        float time;
        float mainFrame;
        float secondFrame; // where the second scene's clock stands after the frame
        uint8_t inView;
    } frames[] = {
        {49000.0f, 1470.0f, 0.0f, 0},    // before frame 1490: the second scene is left alone
        {50000.0f, 1500.0f, 10.0f, 1},   // drawn, every mesh marked in view
        {52000.0f, 1560.0f, 70.0f, 1},
        {53000.0f, 1590.0f, 0.0f, 1},    // past its end frame: held at its frame 0
        {53500.0f, 1605.0f, 0.0f, 1},
        {100000.0f, 0.0f, 0.0f, 1},      // the main scene wraps: the second one waits again
    };
    for (const auto& frame : frames) {
        effect.Update(frame.time);
        EXPECT_FLOAT_EQ(effect.GetSceneTime(), frame.mainFrame) << frame.time;
        EXPECT_NEAR(ClockTime(effect.GetScene()), frame.mainFrame, 1e-2) << frame.time;
        EXPECT_NEAR(ClockTime(second), frame.secondFrame, 1e-3) << frame.time;
        EXPECT_EQ(mesh->inView, frame.inView) << frame.time;
    }
    EXPECT_EQ(effect.GetLoopBase(), 100000.0f);
    EXPECT_EQ(effect.GetDuration(), 100000.0f);
}

TEST_F(Marble1Test, CaptionAtItsOpacityInItsBand)
{
    WriteShowPack();
    Marble1Effect effect(s_device->Layer());
    ASSERT_EQ(ReadRecord(&effect, Record("marble", 0.0f, 60000.0f)), 0);
    // At 12 s the red first caption fades in at trunc(1 x 64) = 64 of 255.
    std::vector<uint32_t> pixels = DrawAt(&effect, 12000.0f);
    WritePngArgb(TestOutputPath("Marble1Test.CaptionAt12s"), 640, 480, pixels);
    // The band spans x 128 to 512 and y 374.4 to 422.4.
    ExpectNear(At(pixels, 320, 398), 0x400000u, "band centre");
    ExpectNear(At(pixels, 129, 375), 0x400000u, "band corner");
    EXPECT_EQ(At(pixels, 126, 398), 0u);
    EXPECT_EQ(At(pixels, 320, 372), 0u);
    EXPECT_EQ(At(pixels, 320, 424), 0u);
    EXPECT_EQ(At(pixels, 320, 240), 0u); // the logo is gone after 11 s
}

TEST_F(Marble1Test, MissingImagesLeaveEmptySlotsDrawnUntextured)
{
    WriteShowPack({"Kestrel.TGA", "Marble01.TGA"});
    Marble1Effect effect(s_device->Layer());
    ASSERT_EQ(ReadRecord(&effect, Record("marble", 0.0f, 60000.0f)), 0);
    // Only the loader's messages, captions first and the logo last.
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "LibUtils : file Marble01.TGA not found in the data.pac zipfile\n",
                           "LibDX\t:\tCannot open Texture : Marble01.TGA",
                           "LibUtils : file Kestrel.TGA not found in the data.pac zipfile\n",
                           "LibDX\t:\tCannot open Texture : Kestrel.TGA",
                       }));
    EXPECT_EQ(effect.GetImage(0), nullptr);
    EXPECT_EQ(effect.GetImage(1), nullptr);
    EXPECT_NE(effect.GetImage(2), nullptr);

    // The empty first caption's quad is drawn in its plain white colour.
    std::vector<uint32_t> pixels = DrawAt(&effect, 12000.0f);
    ExpectNear(At(pixels, 320, 398), 0x404040u, "band centre");
}

} // namespace
