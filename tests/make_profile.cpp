// Writes a Display P3 ICC profile (D65 white, the P3 primaries, the sRGB
// tone curve), made with Little CMS, to the file named by its argument: the
// tests embed it in pictures whose colours must be converted. With "grey"
// after the name, a grey profile of the same white and curve instead.
#include <cstdio>
#include <cstring>

#include <lcms2.h>

int main(int argc, char** argv)
{
    const bool grey = argc == 3 && std::strcmp(argv[2], "grey") == 0;
    if (argc != 2 && !grey) {
        std::fprintf(stderr, "usage: lumirun_make_profile FILE.icc [grey]\n");
        return 2;
    }
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    // sRGB's curve: linear below 0.04045, a 2.4 power above.
    const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = grey ? cmsCreateGrayProfile(&white, curve) : cmsCreateRGBProfile(&white, &primaries, curves);
    bool saved = false;
    if (profile) {
        cmsMLU* description = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(description, "en", "US", grey ? "Grey (lumirun tests)" : "Display P3 (lumirun tests)");
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
        cmsMLUfree(description);
        saved = cmsSaveProfileToFile(profile, argv[1]) != 0;
        cmsCloseProfile(profile);
    }
    cmsFreeToneCurve(curve);
    if (!saved) {
        std::fprintf(stderr, "lumirun_make_profile: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
