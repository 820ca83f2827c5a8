// Every export with handles that name no camera and with arguments outside what it accepts:
// the defined result, the documented report, and no byte written outside the caller's memory.
#include <atomic>
#include <climits>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <tuple>

#include "integration/bad_arguments_fixture.h"
#include "integration/export_probes.h"

namespace tavlin::test {
namespace {

using Codes = std::vector<int32_t>;

class BadArgumentsTest : public OwnDeviceTest {
  protected:
    // One call's outcome: its result (nullopt: any), the codes it recorded (newest first) and
    // the codes it posted to the notification window (oldest first).
    void Expect(int32_t got, std::optional<int32_t> result, const Codes& recorded,
                const Codes& posted) {
        if (result) {
            EXPECT_EQ(got, *result);
        }
        EXPECT_EQ(Errors(), recorded);
        EXPECT_EQ(Posted(), posted);
    }

    struct Case {
        const char* exportName;
        std::function<void()> run;
    };

    // Runs each case on an idle camera.
    void Run(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.exportName);
            c.run();
            EXPECT_EQ(Tavlin_Close(camera_), 1);
            ClearErrors();
            DrainFrames();
        }
    }

    std::string Path(const char* name) const { return (home_ / name).string(); }

    TavlinCameraInfo* InfoOfSize(uint32_t size) {
        info_.Refill();
        info_.as<TavlinCameraInfo>()->size = size;
        return info_.as<TavlinCameraInfo>();
    }

    // The stream announces that a frame does not fit and never delivers one.
    void ExpectFramesRefused() {
        TavlinMessage m;
        bool refused = false;
        while (!refused && NextFrameMessage(m)) {
            EXPECT_EQ(m.wParam, 0u) << "a frame was delivered into a buffer it does not fit";
            refused = m.wParam == 0 && m.lParam == TAVLIN_ERR_MEMORY;
        }
        EXPECT_TRUE(refused);
        EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
        EXPECT_TRUE(small_.Untouched());
        const Codes errors = Errors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.front(), TAVLIN_ERR_MEMORY);
    }

    // The groups of cases; building them runs nothing.
    std::vector<Case> OutputArgumentsNullOrTooSmallCases();
    std::vector<Case> OkFlagsMayBeNullCases();
    std::vector<Case> ValuesOutsideTheirRangesCases();
    std::vector<Case> FileNamesCases();
    std::vector<Case> SnapshotAndImageBuffersTooSmallCases();
    std::vector<Case> StreamingIntoBuffersTooSmallCases();
    std::vector<Case> FilterValueCases();
    std::vector<Case> DialogCases();
    std::vector<std::vector<Case>> AllCases() {
        return {OutputArgumentsNullOrTooSmallCases(),
                OkFlagsMayBeNullCases(),
                ValuesOutsideTheirRangesCases(),
                FileNamesCases(),
                SnapshotAndImageBuffersTooSmallCases(),
                StreamingIntoBuffersTooSmallCases(),
                FilterValueCases(),
                DialogCases()};
    }

    GuardedBuffer small_{16};
    GuardedBuffer info_{sizeof(TavlinCameraInfo)};
    GuardedBuffer names_{10 * TAVLIN_DEVICE_NAME_SLOT};
    GuardedBuffer wide_{10 * TAVLIN_DEVICE_NAME_SLOT * 2};
    const std::string missingDir_ = "/nonexistent-tavlin-folder/x";
    const std::string longName_ = std::string(5000, 'n');
    const std::u16string loneSurrogate_ = u"a\xD800.bmp";
};

TEST_F(BadArgumentsTest, ProbeTableFollowsTheCatalogue) {
    const std::vector<std::string> catalogue = CatalogueNames();
    ASSERT_EQ(catalogue.size(), 124u);
    std::vector<std::string> table;
    for (const ExportProbe& p : ExportProbes()) table.push_back(p.name);
    EXPECT_EQ(table, catalogue);
}

TEST_F(BadArgumentsTest, HandlesNamingNoCameraAnswerTheNotFoundValueAndWriteNothing) {
    const int32_t released = Tavlin_Initialize(window_);
    ASSERT_NE(released, 0);
    ASSERT_EQ(Tavlin_Release(released), 1);
    ClearErrors();
    std::set<int32_t> handles = {0, -1, 1, INT_MIN, INT_MAX, camera_ + 1, camera_ - 1, released};
    handles.erase(camera_);
    for (const int32_t h : handles) {
        for (const ExportProbe& probe : ExportProbes()) {
            if (!probe.takesHandle) continue;
            SCOPED_TRACE(std::string(probe.name) + " handle " + std::to_string(h));
            ProbeOutputs out;
            out.fileName = Path("never-created.bmp");
            out.wideFileName = u"never-created.bmp";
            EXPECT_EQ(probe.call(h, out), probe.notFound);
            EXPECT_TRUE(out.Untouched());
            EXPECT_FALSE(std::filesystem::exists(out.fileName));
        }
    }
    // The live camera heard nothing of it and still works.
    EXPECT_EQ(Errors(), Codes{});
    EXPECT_EQ(Posted(), Codes{});
    TavlinMessage m;
    EXPECT_EQ(TavlinHost_PeekMessage(nullptr, &m), 0);
    EXPECT_EQ(Tavlin_GetDllVersion(), TAVLIN_DLL_VERSION);
    EXPECT_EQ(Tavlin_Width(camera_), 1280);
}

TEST_F(BadArgumentsTest, ReleasedTwiceAndNeverIssuedHandlesAreRefused) {
    const int32_t other = Tavlin_Initialize(nullptr);
    ASSERT_NE(other, 0);
    EXPECT_EQ(Tavlin_Release(other), 1);
    EXPECT_EQ(Tavlin_Release(other), 0);
    EXPECT_EQ(Tavlin_GetColorMode(other), -1);
    EXPECT_EQ(Tavlin_Width(other), 0);
    EXPECT_EQ(Tavlin_Release(0), 0);
    EXPECT_EQ(Tavlin_GetWaitTime(camera_), 0);  // the live camera is untouched
}

TEST_F(BadArgumentsTest, InitializeTakesAWindowThatIsNoWindow) {
    // Posting to a value that names no window is dropped; the history still records.
    const int32_t h = Tavlin_Initialize(reinterpret_cast<TAVLIN_HWND>(uintptr_t{0x1234}));
    ASSERT_NE(h, 0);
    EXPECT_EQ(Tavlin_SetColorMode(h, 12), 0);
    EXPECT_EQ(Tavlin_Fps(h), 0);
    EXPECT_EQ(Tavlin_GetLastError(h), TAVLIN_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Tavlin_Release(h), 1);
}

std::vector<BadArgumentsTest::Case> BadArgumentsTest::OutputArgumentsNullOrTooSmallCases() {
    const std::vector<Case> cases = {
        {"Tavlin_GetCameraInfo",
         [&] {
             Expect(Tavlin_GetCameraInfo(camera_, nullptr), 0, {9}, {9});
             Expect(Tavlin_GetCameraInfo(camera_, InfoOfSize(35)), 0, {5}, {5});
             Expect(Tavlin_GetCameraInfo(camera_, InfoOfSize(0)), 0, {5}, {5});
             // A size beyond the record is not a licence to write past it.
             Expect(Tavlin_GetCameraInfo(camera_, InfoOfSize(0xFFFFFFFFu)), 1, {}, {});
             EXPECT_TRUE(info_.FencesIntact());
             EXPECT_EQ(info_.as<TavlinCameraInfo>()->exposureMax, 16383);
         }},
        {"Tavlin_GetCaptureWindowEx",
         [&] {
             int32_t width = 0;
             Expect(Tavlin_GetCaptureWindowEx(camera_, nullptr, nullptr, &width, nullptr, nullptr,
                                              nullptr),
                    1, {}, {});
             EXPECT_EQ(width, 1280);
         }},
        {"Tavlin_EnumDevice",
         [&] {
             Expect(Tavlin_EnumDevice(camera_, reinterpret_cast<char*>(names_.data())), 2, {}, {});
             EXPECT_TRUE(names_.FencesIntact());
             EXPECT_STREQ(reinterpret_cast<char*>(names_.data()) + 256, "Tavlin410QZ-VKE_02");
             EXPECT_EQ(names_.data()[9 * 256], 0);
             // A null list only counts.
             Expect(Tavlin_EnumDevice(camera_, nullptr), 2, {}, {});
         }},
        {"Tavlin_EnumDeviceW",
         [&] {
             Expect(Tavlin_EnumDeviceW(camera_, wide_.as<TavlinWChar>()), 2, {}, {});
             EXPECT_TRUE(wide_.FencesIntact());
             EXPECT_EQ(wide_.as<TavlinWChar>()[256 + 17], u'2');
             Expect(Tavlin_EnumDeviceW(camera_, nullptr), 2, {}, {});
         }},
        {"Tavlin_GetDeviceName",
         [&] {
             char* text = reinterpret_cast<char*>(small_.data());
             for (const int32_t length : {14, 0, -1, INT_MIN}) {
                 Expect(Tavlin_GetDeviceName(camera_, 0, text, length), 0, {9}, {9});
             }
             Expect(Tavlin_GetDeviceName(camera_, 0, nullptr, 64), 0, {9}, {9});
             for (const int32_t index : {-1, 32, INT_MIN, INT_MAX}) {
                 Expect(Tavlin_GetDeviceName(camera_, index, text, 16), 0, {9}, {9});
             }
             Expect(Tavlin_GetDeviceName(camera_, 1, text, 16), 0, {2}, {2});
             // 15 and 16 bytes pass the length check but cannot hold the name.
             Expect(Tavlin_GetDeviceName(camera_, 0, text, 15), 0, {9}, {9});
             Expect(Tavlin_GetDeviceName(camera_, 0, text, 16), 0, {9}, {9});
             EXPECT_TRUE(small_.Untouched());
             GuardedBuffer exact(19);
             Expect(
                 Tavlin_GetDeviceName(camera_, kDevice, reinterpret_cast<char*>(exact.data()), 19),
                 1, {}, {});
             EXPECT_STREQ(reinterpret_cast<char*>(exact.data()), "Tavlin410QZ-VKE_14");
             EXPECT_TRUE(exact.FencesIntact());
         }},
        {"Tavlin_GetDeviceNameW",
         [&] {
             auto* text = small_.as<TavlinWChar>();
             Expect(Tavlin_GetDeviceNameW(camera_, 0, text, 14), 0, {9}, {9});
             Expect(Tavlin_GetDeviceNameW(camera_, 0, text, -5), 0, {9}, {9});
             Expect(Tavlin_GetDeviceNameW(camera_, 0, nullptr, 64), 0, {9}, {9});
             Expect(Tavlin_GetDeviceNameW(camera_, 33, text, 8), 0, {9}, {9});
             Expect(Tavlin_GetDeviceNameW(camera_, 2, text, 8), 0, {9}, {9});
             EXPECT_TRUE(small_.Untouched());
             GuardedBuffer exact(19 * 2);
             Expect(Tavlin_GetDeviceNameW(camera_, 0, exact.as<TavlinWChar>(), 19), 1, {}, {});
             EXPECT_EQ(exact.as<TavlinWChar>()[18], u'\0');
             EXPECT_TRUE(exact.FencesIntact());
         }},
        {"Tavlin_GetIOPort",
         [&] {
             Expect(Tavlin_GetIOPort(camera_, nullptr, 0, 0), 0, {}, {9});
             GuardedBuffer port(1);
             Expect(Tavlin_GetIOPort(camera_, port.data(), INT_MIN, INT_MAX), 1, {}, {});
             EXPECT_TRUE(port.FencesIntact());
         }},
        {"Tavlin_GetSamplingRate",
         [&] {
             GuardedBuffer value(4);
             Expect(Tavlin_GetSamplingRate(camera_, nullptr), 0, {}, {});
             Expect(Tavlin_GetSamplingRate(camera_, value.as<int32_t>()), 0, {}, {});
             EXPECT_EQ(*value.as<int32_t>(), 0);
             EXPECT_TRUE(value.FencesIntact());
         }},
        {"Tavlin_GetVideoFormat",
         [&] {
             GuardedBuffer value(4);
             Expect(Tavlin_GetVideoFormat(camera_, value.as<int32_t>()), 0, {}, {});
             EXPECT_EQ(*value.as<int32_t>(), 0);
             EXPECT_TRUE(value.FencesIntact());
         }},
        {"Tavlin_GetStatus", [&] { Expect(Tavlin_GetStatus(camera_, INT_MIN), 0, {}, {}); }},
        {"Tavlin_GetImage",
         [&] {
             // Before any acquisition there is no image to copy.
             Expect(Tavlin_GetImage(camera_, small_.data(), small_.length(), 0), 0, {5}, {5});
             Expect(Tavlin_GetImage(camera_, nullptr, 0, 0), 0, {5}, {5});
             EXPECT_TRUE(small_.Untouched());
         }},
    };
    return cases;
}

std::vector<BadArgumentsTest::Case> BadArgumentsTest::OkFlagsMayBeNullCases() {
    using Getter = int32_t (*)(int32_t, int32_t*);
    const std::vector<std::pair<const char*, Getter>> getters = {
        {"Tavlin_GetAutoIris", Tavlin_GetAutoIris},
        {"Tavlin_GetHalfClock", Tavlin_GetHalfClock},
        {"Tavlin_GetRealExposureTime", Tavlin_GetRealExposureTime},
        {"Tavlin_GetBrightness", Tavlin_GetBrightness},
        {"Tavlin_GetExposureTime", Tavlin_GetExposureTime},
        {"Tavlin_GetBayerGainRGB", Tavlin_GetBayerGainRGB},
    };
    std::vector<Case> cases;
    for (const auto& [name, getter] : getters) {
        cases.push_back({name, [&, getter] {
                             GuardedBuffer flag(4);
                             const int32_t withFlag = getter(camera_, flag.as<int32_t>());
                             EXPECT_EQ(*flag.as<int32_t>(), 1);
                             EXPECT_TRUE(flag.FencesIntact());
                             Expect(getter(camera_, nullptr), withFlag, {}, {});
                         }});
    }
    cases.push_back({"Tavlin_ReadRegister", [&] {
                         const int32_t nine = Tavlin_ReadRegister(camera_, 9, nullptr);
                         Expect(Tavlin_ReadRegister(camera_, 0x109, nullptr), nine, {}, {});
                     }});
    cases.push_back({"Tavlin_ReadRegisterEx", [&] {
                         const int32_t nine = Tavlin_ReadRegisterEx(camera_, 9, nullptr);
                         Expect(Tavlin_ReadRegisterEx(camera_, -247, nullptr), nine, {}, {});
                     }});
    cases.push_back({"Tavlin_ReadSromID", [&] {
                         GuardedBuffer flag(4);
                         // Only the low 8 bits of the index count: -1 is index 255.
                         Tavlin_ReadSromID(camera_, -1, flag.as<int32_t>());
                         EXPECT_EQ(*flag.as<int32_t>(), 1);
                         Expect(Tavlin_ReadSromID(camera_, 0x100, nullptr),
                                Tavlin_ReadSromID(camera_, 0, nullptr), {}, {});
                     }});
    return cases;
}

std::vector<BadArgumentsTest::Case> BadArgumentsTest::ValuesOutsideTheirRangesCases() {
    const std::vector<Case> cases = {
        {"Tavlin_SetAutoIris",
         [&] {
             for (const int32_t v : {3, -1, INT_MIN, INT_MAX}) {
                 Expect(Tavlin_SetAutoIris(camera_, v), 0, {}, {9});
             }
         }},
        {"Tavlin_SetColorMode",
         [&] {
             const int32_t before = Tavlin_GetColorMode(camera_);
             for (const int32_t v : {12, 10, 42, 0, -8, INT_MIN, INT_MAX}) {
                 Expect(Tavlin_SetColorMode(camera_, v), 0, {9}, {9});
             }
             EXPECT_EQ(Tavlin_GetColorMode(camera_), before);
         }},
        {"Tavlin_SetSubSample",
         [&] {
             for (const int32_t v : {4, -1, 17, INT_MIN}) {
                 Expect(Tavlin_SetSubSample(camera_, v), 0, {}, {});
             }
             EXPECT_EQ(Tavlin_GetSubSample(camera_), 3);
         }},
        {"Tavlin_SetWaitTime",
         [&] {
             Expect(Tavlin_SetWaitTime(camera_, -1), 0, {}, {});
             Expect(Tavlin_SetWaitTime(camera_, INT_MIN), 0, {}, {});
             EXPECT_EQ(Tavlin_GetWaitTime(camera_), 0);
         }},
        {"Tavlin_SetCaptureWindow",
         [&] {
             for (const auto& [w, h] : {std::pair{640, 480}, {-1, -1}, {INT_MIN, INT_MAX}}) {
                 Expect(Tavlin_SetCaptureWindow(camera_, w, h), 0, {4}, {4});
             }
         }},
        {"Tavlin_SetCaptureWindowEx",
         [&] {
             Expect(Tavlin_SetCaptureWindowEx(camera_, 1280, -1, 640, 1024, 0, 480), 0, {7}, {7});
             Expect(Tavlin_SetCaptureWindowEx(camera_, 1280, 1280, INT_MAX, 1024, 1024, INT_MAX), 0,
                    {7}, {7});
             Expect(Tavlin_SetCaptureWindowEx(camera_, INT_MIN, INT_MAX, 0, 0, INT_MAX, 0), 0, {7},
                    {7});
             // The refused window stays stored, so acquisition refuses it too.
             Expect(Tavlin_Capture(camera_), 0, {1, 7}, {7, 1});
             Expect(Tavlin_SetCaptureWindowEx(camera_, 1280, 0, 1280, 1024, 0, 1024), 1, {}, {});
         }},
        {"Tavlin_SetDeviceNumber",
         [&] {
             for (const int32_t n : {-1, 32, 64, 65, INT_MIN, INT_MAX, 1}) {
                 Expect(Tavlin_SetDeviceNumber(camera_, n), 0, {2}, {2});
             }
             // Still on its own device: acquisition works.
             Expect(Tavlin_Capture(camera_), 1, {}, {});
         }},
        {"Tavlin_SetRealExposureTime",
         [&] {
             for (const int32_t us : {0, -1, INT_MIN, INT_MAX}) {
                 Expect(Tavlin_SetRealExposureTime(camera_, us), 0, {9}, {9});
             }
         }},
        {"Tavlin_SetHalfClock",
         [&] {
             for (const int32_t v : {INT_MIN, -1, 256, INT_MAX}) {
                 Expect(Tavlin_SetHalfClock(camera_, v), 1, {}, {});
                 int32_t ok = 0;
                 Tavlin_GetRealExposureTime(camera_, &ok);
                 EXPECT_EQ(ok, 1);
             }
             Expect(Tavlin_SetHalfClock(camera_, 0), 1, {}, {});
         }},
        {"Tavlin_SetMirrorH",
         [&] {
             Expect(Tavlin_SetMirrorH(camera_, INT_MIN), 1, {}, {});
             EXPECT_EQ(Tavlin_GetMirrorH(camera_), 1);
             Expect(Tavlin_SetMirrorH(camera_, 0), 1, {}, {});
         }},
        {"Tavlin_SetMirrorV",
         [&] {
             Expect(Tavlin_SetMirrorV(camera_, -1), 1, {}, {});
             EXPECT_EQ(Tavlin_GetMirrorV(camera_), 1);
             Expect(Tavlin_SetMirrorV(camera_, 0), 1, {}, {});
         }},
        {"Tavlin_SetIOPort", [&] { Expect(Tavlin_SetIOPort(camera_, 0xFF), 1, {}, {}); }},
        {"Tavlin_WriteRegister",
         [&] {
             const int32_t old = Tavlin_ReadRegister(camera_, 9, nullptr);
             Expect(Tavlin_WriteRegister(camera_, 0x109, 0x12345), 1, {}, {});
             EXPECT_EQ(Tavlin_ReadRegister(camera_, 9, nullptr), 0x2345);
             Expect(Tavlin_WriteRegister(camera_, 9, old), 1, {}, {});
         }},
        {"Tavlin_WriteRegisterEx",
         [&] { Expect(Tavlin_WriteRegisterEx(camera_, -247, INT_MIN | 100), 1, {}, {}); }},
        {"Tavlin_WriteSromID",
         [&] {
             Expect(Tavlin_WriteSromID(camera_, -1, 0x1AB), 1, {}, {});
             EXPECT_EQ(Tavlin_ReadSromID(camera_, 255, nullptr), 0xAB);
         }},
        {"Tavlin_SetPreviewWindow",
         [&] {
             // Placements no window can have are clamped or refused when the preview starts,
             // never drawn into; a top-level preview takes the image's size whatever they say.
             TAVLIN_HWND parent = TavlinHost_CreateParentWindow(64, 64);
             ASSERT_NE(parent, nullptr);
             for (const auto& [l, t, r, b] : {std::tuple{0, 0, -100, -100},
                                              {0, 0, INT_MAX, INT_MAX},
                                              {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                                              {INT_MAX, INT_MAX, INT_MIN, INT_MIN}}) {
                 for (TAVLIN_HWND p : {parent, static_cast<TAVLIN_HWND>(nullptr)}) {
                     Expect(Tavlin_SetPreviewWindow(camera_, p, l, t, r, b), 1, {}, {});
                     const int32_t started = Tavlin_Preview(camera_);
                     Expect(Tavlin_Close(camera_), 1, started ? Codes{} : Codes{4},
                            started ? Codes{} : Codes{4});
                 }
             }
             TavlinHost_DestroyWindow(parent);
             const auto bogus = reinterpret_cast<TAVLIN_HWND>(uintptr_t{0x4321});
             Expect(Tavlin_SetPreviewWindow(camera_, bogus, 0, 0, 64, 64), 1, {}, {});
             Expect(Tavlin_Preview(camera_), 0, {4}, {4});
             Expect(Tavlin_SetPreviewWindow(camera_, nullptr, 0, 0, 0, 0), 1, {}, {});
         }},
        {"Tavlin_Fpga_ReadRegister",
         [&] { Expect(Tavlin_Fpga_ReadRegister(camera_, INT_MIN, nullptr), 0, {}, {11}); }},
        {"Tavlin_Fpga_WriteRegister",
         [&] { Expect(Tavlin_Fpga_WriteRegister(camera_), 0, {}, {11}); }},
        {"Tavlin_Fps", [&] { Expect(Tavlin_Fps(camera_, 1.5, "x"), 0, {}, {11}); }},
        {"Tavlin_SetCrossbar", [&] { Expect(Tavlin_SetCrossbar(camera_, -1), 0, {}, {11}); }},
        {"Tavlin_SetSamplingRate",
         [&] { Expect(Tavlin_SetSamplingRate(camera_, INT_MAX), 0, {}, {11}); }},
        {"Tavlin_GetConfigFilter",
         [&] { Expect(Tavlin_GetConfigFilter(camera_), -1, {11}, {11}); }},
        {"Tavlin_SetConfigFilter",
         [&] { Expect(Tavlin_SetConfigFilter(camera_, nullptr), -1, {11}, {11}); }},
    };
    return cases;
}

std::vector<BadArgumentsTest::Case> BadArgumentsTest::FileNamesCases() {
    const std::vector<Case> cases = {
        {"Tavlin_LoadConfigFileA",
         [&] {
             for (const char* name : {static_cast<const char*>(nullptr), "", missingDir_.c_str(),
                                      home_.c_str(), longName_.c_str()}) {
                 Expect(Tavlin_LoadConfigFileA(camera_, name), 0, {}, {});
             }
         }},
        {"Tavlin_LoadConfigFileW",
         [&] {
             Expect(Tavlin_LoadConfigFileW(camera_, u""), 0, {}, {});
             Expect(Tavlin_LoadConfigFileW(camera_, loneSurrogate_.c_str()), 0, {12}, {12});
             Expect(Tavlin_LoadConfigFileW(camera_, nullptr), 0, {12}, {12});
         }},
        {"Tavlin_SaveImage",
         [&] {
             // No frame yet.
             Expect(Tavlin_SaveImage(camera_, Path("a.bmp").c_str(), TAVLIN_FILE_BMP), 0, {1}, {1});
             ASSERT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 0), 1);
             Expect(Tavlin_SaveImage(camera_, nullptr, TAVLIN_FILE_BMP), 0, {}, {});
             Expect(Tavlin_SaveImage(camera_, "", TAVLIN_FILE_PNG), 0, {}, {});
             for (const int32_t format : {7, -1, INT_MIN, INT_MAX}) {
                 Expect(Tavlin_SaveImage(camera_, Path("b.bmp").c_str(), format), 0, {}, {});
             }
             EXPECT_FALSE(std::filesystem::exists(Path("b.bmp")));
             Expect(Tavlin_SaveImage(camera_, missingDir_.c_str(), TAVLIN_FILE_TIFF), 0, {}, {});
             Expect(Tavlin_SaveImage(camera_, home_.c_str(), TAVLIN_FILE_RAW), 0, {}, {});
             Expect(Tavlin_SaveImage(camera_, longName_.c_str(), TAVLIN_FILE_JPEG_70), 0, {}, {});
         }},
        {"Tavlin_SaveImageW",
         [&] {
             Expect(Tavlin_SaveImageW(camera_, nullptr, TAVLIN_FILE_BMP), 0, {1}, {1});
             Expect(Tavlin_SaveImageW(camera_, loneSurrogate_.c_str(), TAVLIN_FILE_BMP), 0, {1},
                    {1});
             const std::u16string tooLong(1024, u'w');
             Expect(Tavlin_SaveImageW(camera_, tooLong.c_str(), TAVLIN_FILE_BMP), 0, {1}, {1});
         }},
        {"Tavlin_Record",
         [&] {
             Expect(Tavlin_Record(camera_, nullptr, 100, 0), 0, {9}, {9});
             Expect(Tavlin_Record(camera_, "", 100, 0), 0, {9}, {9});
             Expect(Tavlin_Record(camera_, missingDir_.c_str(), 100, 0), 0, {12}, {12});
             Expect(Tavlin_Record(camera_, home_.c_str(), 100, 0), 0, {12}, {12});
             // A failed start leaves nothing running.
             Expect(Tavlin_Capture(camera_), 1, {}, {});
         }},
        {"Tavlin_RecordW",
         [&] {
             // A null wide name fails its conversion.
             Expect(Tavlin_RecordW(camera_, nullptr, 100, 0), 0, {12}, {12});
             Expect(Tavlin_RecordW(camera_, u"", 100, 0), 0, {9}, {9});
             Expect(Tavlin_RecordW(camera_, loneSurrogate_.c_str(), 100, 0), 0, {12}, {12});
         }},
    };
    return cases;
}

// Where a caller buffer is too small for a frame, nothing is written to it at all.
std::vector<BadArgumentsTest::Case> BadArgumentsTest::SnapshotAndImageBuffersTooSmallCases() {
    constexpr int32_t kFrameBytes = 160 * 128 * 3;  // 24-bit output after 1/8 sub-sampling
    const std::vector<Case> cases = {
        {"Tavlin_SnapShot",
         [&] {
             ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
             for (const int32_t length : {small_.length(), -1, INT_MIN}) {
                 Expect(Tavlin_SnapShot(camera_, small_.data(), length, 0), 0, {5, 5}, {5, 5});
             }
             EXPECT_TRUE(small_.Untouched());
             Expect(Tavlin_SnapShot(camera_, nullptr, 100, 1), 1, {}, {});
             Expect(Tavlin_SnapShot(camera_, small_.data(), 0, 1), 1, {}, {});
             EXPECT_TRUE(small_.Untouched());
         }},
        {"Tavlin_GetImage",
         [&] {
             ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
             ASSERT_EQ(Tavlin_Capture(camera_), 1);
             GuardedBuffer image(kFrameBytes);
             for (const int32_t length : {kFrameBytes - 1, 0, -1, INT_MIN}) {
                 Expect(Tavlin_GetImage(camera_, image.data(), length, 1), 0, {5, 5}, {5, 5});
             }
             EXPECT_TRUE(image.Untouched());
             Expect(Tavlin_GetImage(camera_, nullptr, kFrameBytes, 1), 0, {5}, {5});
             Expect(Tavlin_GetImage(camera_, image.data(), kFrameBytes, 0), 1, {}, {});
             EXPECT_TRUE(image.FencesIntact());
         }},
    };
    return cases;
}

// Frames that do not fit the application's buffer are announced and never copied.
std::vector<BadArgumentsTest::Case> BadArgumentsTest::StreamingIntoBuffersTooSmallCases() {
    const std::vector<Case> cases = {
        {"Tavlin_CallBackPreview",
         [&] {
             for (const int32_t length : {small_.length(), -1, INT_MIN}) {
                 ASSERT_EQ(
                     Tavlin_CallBackPreview(camera_, frames_, small_.data(), length, length & 1),
                     1);
                 ExpectFramesRefused();
                 DrainFrames();
             }
         }},
        {"Tavlin_Trigger",
         [&] {
             ASSERT_EQ(Tavlin_Trigger(camera_, frames_, small_.data(), small_.length(), 0), 1);
             TavlinVcam_Trigger(kDevice, 3);
             ExpectFramesRefused();
         }},
    };
    return cases;
}

// The filter values by id and through their named exports: each bound, one past it, and the
// extremes of the argument type; a refused value leaves the stored one as it was.
struct FilterRow {
    int32_t id;
    const char* setName;
    int32_t (*set)(int32_t, int32_t);
    const char* getName;
    int32_t (*get)(int32_t, int32_t*);
    int32_t low;
    int32_t high;
};

#define FILTER_ROW(id, name, low, high)                                                           \
    FilterRow {                                                                                   \
        id, "Tavlin_Set" #name, Tavlin_Set##name, "Tavlin_Get" #name, Tavlin_Get##name, low, high \
    }

const std::vector<FilterRow>& FilterRows() {
    static const std::vector<FilterRow> rows = {
        FILTER_ROW(1, Brightness, -255, 255),    FILTER_ROW(2, Contrast, -127, 127),
        FILTER_ROW(3, Hue, -360, 360),           FILTER_ROW(4, Saturation, -255, 255),
        FILTER_ROW(5, Sharpness, 0, 30),         FILTER_ROW(7, BayerGainRed, 0, 400),
        FILTER_ROW(8, BayerGainGreen, 0, 400),   FILTER_ROW(9, BayerGainBlue, 0, 400),
        FILTER_ROW(11, Gamma, 0, 200),           FILTER_ROW(12, BayerMode, 0, 3),
        FILTER_ROW(13, GlobalGain, 0, 63),       FILTER_ROW(14, ColorGainRed, 0, 63),
        FILTER_ROW(15, ColorGainGreen1, 0, 63),  FILTER_ROW(16, ColorGainGreen2, 0, 63),
        FILTER_ROW(17, ColorGainBlue, 0, 63),    FILTER_ROW(18, ExposureTime, 1, 16383),
        FILTER_ROW(19, GrayMode, 0, 2),          FILTER_ROW(20, GrayGainR, 0, 255),
        FILTER_ROW(21, GrayGainG1, 0, 255),      FILTER_ROW(22, GrayGainG2, 0, 255),
        FILTER_ROW(23, GrayGainB, 0, 255),       FILTER_ROW(24, GrayOffsetR, -255, 255),
        FILTER_ROW(25, GrayOffsetG1, -255, 255), FILTER_ROW(26, GrayOffsetG2, -255, 255),
        FILTER_ROW(27, GrayOffsetB, -255, 255),
    };
    return rows;
}

std::vector<BadArgumentsTest::Case> BadArgumentsTest::FilterValueCases() {
    std::vector<Case> cases;
    for (const FilterRow& row : FilterRows()) {
        auto bounds = [this, row](auto set, auto get) {
            for (const int32_t v : {row.low, row.high}) {
                Expect(set(v), 1, {}, {});
                int32_t ok = 0;
                EXPECT_EQ(get(&ok), v);
                EXPECT_EQ(ok, 1);
                for (const int32_t bad : {row.low - 1, row.high + 1, INT_MIN, INT_MAX}) {
                    Expect(set(bad), 0, {9}, {9});
                }
                EXPECT_EQ(get(nullptr), v);
            }
        };
        cases.push_back({row.setName, [this, row, bounds] {
                             bounds([&](int32_t v) { return row.set(camera_, v); },
                                    [&](int32_t* ok) { return row.get(camera_, ok); });
                         }});
        cases.push_back(
            {row.getName, [this, row, bounds] {
                 bounds([&](int32_t v) { return Tavlin_SetFilterValue(camera_, row.id, v); },
                        [&](int32_t* ok) { return Tavlin_GetFilterValue(camera_, row.id, ok); });
             }});
    }
    cases.push_back({"Tavlin_SetFilterValue", [this] {
                         for (const int32_t id : {0, 29, -1, INT_MIN, INT_MAX}) {
                             Expect(Tavlin_SetFilterValue(camera_, id, 0), 0, {9}, {9});
                         }
                         Expect(Tavlin_SetFilterValue(camera_, 28, 2), 0, {9}, {9});
                         Expect(Tavlin_SetFilterValue(camera_, 28, -1), 0, {9}, {9});
                         Expect(Tavlin_SetFilterValue(camera_, 28, 0), 1, {}, {});
                     }});
    cases.push_back({"Tavlin_GetFilterValue", [this] {
                         for (const int32_t id : {0, 29, -1, INT_MIN, INT_MAX}) {
                             GuardedBuffer flag(4);
                             Expect(Tavlin_GetFilterValue(camera_, id, flag.as<int32_t>()), 0, {9},
                                    {9});
                             EXPECT_EQ(*flag.as<int32_t>(), 0);
                             EXPECT_TRUE(flag.FencesIntact());
                         }
                     }});
    cases.push_back({"Tavlin_SetBayerGainRGB", [this] {
                         Expect(Tavlin_SetBayerGainRGB(camera_, INT_MIN | 0x00FF8040), 1, {}, {});
                         EXPECT_EQ(Tavlin_GetBayerGainRGB(camera_, nullptr), 0x00FF8040);
                         Expect(Tavlin_SetBayerGainRGB(camera_, -1), 1, {}, {});
                         EXPECT_EQ(Tavlin_GetBayerGainRed(camera_, nullptr), 255);
                     }});
    cases.push_back({"Tavlin_GetBayerGainRGB", [this] {
                         Expect(Tavlin_GetBayerGainRGB(camera_, nullptr), std::nullopt, {}, {});
                     }});
    cases.push_back({"Tavlin_SetBayerGainAuto", [this] {
                         Expect(Tavlin_SetBayerGainAuto(camera_, INT_MIN), 1, {}, {});
                         EXPECT_EQ(Tavlin_GetBayerGainAuto(camera_, nullptr), 1);
                         Expect(Tavlin_SetBayerGainAuto(camera_, 0), 1, {}, {});
                     }});
    cases.push_back({"Tavlin_GetBayerGainAuto",
                     [this] { Expect(Tavlin_GetBayerGainAuto(camera_, nullptr), 0, {}, {}); }});
    return cases;
}

// A property dialog asked for with a parent that is no window (or no longer one) opens on its
// own and closes again.
std::vector<BadArgumentsTest::Case> BadArgumentsTest::DialogCases() {
    using OpenDialog = int32_t (*)(int32_t, TAVLIN_HWND);
    std::vector<Case> cases;
    for (const auto& [name, open] :
         {std::pair<const char*, OpenDialog>{"Tavlin_SetAnalogDlg", Tavlin_SetAnalogDlg},
          {"Tavlin_SetCameraDlg", Tavlin_SetCameraDlg},
          {"Tavlin_SetImageDlg", Tavlin_SetImageDlg}}) {
        cases.push_back(
            {name, [this, open] {
                 TAVLIN_HWND gone = TavlinHost_CreateMessageWindow();
                 TavlinHost_DestroyWindow(gone);
                 for (TAVLIN_HWND parent : {gone, reinterpret_cast<TAVLIN_HWND>(uintptr_t{0x77})}) {
                     std::atomic<int32_t> result{-1};
                     std::thread runner([&] { result = open(camera_, parent); });
                     TAVLIN_HWND dialog = TavlinHost_FindCameraDialog(camera_, 5000);
                     EXPECT_NE(dialog, nullptr);
                     if (dialog != nullptr) TavlinHost_DialogClose(dialog);
                     runner.join();
                     EXPECT_EQ(result.load(), 1);
                     EXPECT_EQ(Errors(), Codes{});
                 }
             }});
    }
    return cases;
}

TEST_F(BadArgumentsTest, OutputArgumentsNullOrTooSmall) {
    Run(OutputArgumentsNullOrTooSmallCases());
}
TEST_F(BadArgumentsTest, OkFlagsMayBeNull) {
    Run(OkFlagsMayBeNullCases());
}
TEST_F(BadArgumentsTest, ValuesOutsideTheirRanges) {
    Run(ValuesOutsideTheirRangesCases());
}
TEST_F(BadArgumentsTest, FileNames) {
    Run(FileNamesCases());
}
TEST_F(BadArgumentsTest, SnapshotAndImageBuffersTooSmall) {
    Run(SnapshotAndImageBuffersTooSmallCases());
}
TEST_F(BadArgumentsTest, StreamingIntoBuffersTooSmall) {
    Run(StreamingIntoBuffersTooSmallCases());
}
TEST_F(BadArgumentsTest, FilterValues) {
    Run(FilterValueCases());
}
TEST_F(BadArgumentsTest, DialogParents) {
    Run(DialogCases());
}

// Every export with arguments beyond the handle is handed bad ones by some case above.
TEST_F(BadArgumentsTest, EveryExportWithArgumentsHasCases) {
    std::set<std::string> covered = {
        "Tavlin_Capture",      "Tavlin_Close",       "Tavlin_GetColorMode",
        "Tavlin_GetLastError", "Tavlin_GetMirrorH",  "Tavlin_GetMirrorV",
        "Tavlin_GetSubSample", "Tavlin_GetWaitTime", "Tavlin_Height",
        "Tavlin_Width",        "Tavlin_Preview",     "Tavlin_StartPreview",
        "Tavlin_StopPreview",  "Tavlin_Release",     "Tavlin_GetDllVersion",
        "Tavlin_Initialize"};  // no argument but the handle (or none): the sweep covers them
    for (const auto& group : AllCases()) {
        for (const Case& c : group) covered.insert(c.exportName);
    }
    for (const std::string& name : CatalogueNames()) {
        EXPECT_TRUE(covered.count(name)) << name << " has no bad-argument case";
    }
}

}  // namespace
}  // namespace tavlin::test
