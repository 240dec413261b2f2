// kvqtool new DIR: writes a small game that runs as it is ("kvqgame --root DIR"): its settings, a
// layout (as JSON and built), a script, an image drawn here and the image set naming its regions.
//
// The text files come from kvqtool/template/ (compiled in); the layout and the image set are
// built from their JSON by the same commands a developer runs after editing them, so the game
// folder always holds sources that rebuild into exactly the files beside them.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "Commands.h"
#include "Template.h"
#include "platform/ImageCodec.h"

namespace fs = std::filesystem;

namespace {

const char* const kCommand = "new";

// Built from the template's JSON into the files the engine reads.
const char* const kLayoutJson = "ui/main.json";
const char* const kLayoutFile = "ui/main.ui";
const char* const kImageSetJson = "sets/button.png.json";
const char* const kImageSetFile = "png.set/button.png.set";
const char* const kImageFile = "png/button.png";
const char* const kFontJson = "fonts/text.json";
const char* const kFontFile = "fonts/text.fnt";

// The image's regions; sets/button.png.json names the same rectangles.
constexpr int32_t kImageWidth = 208;
constexpr int32_t kImageHeight = 96;
constexpr int32_t kFaceWidth = 160;
constexpr int32_t kFaceHeight = 48;
constexpr int32_t kStarLeft = 160;
constexpr int32_t kStarSize = 48;

struct Colour {
    uint8_t r, g, b, a;
};

struct Canvas {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> pixels;

    Canvas(int32_t w, int32_t h) : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h) * 4) {}

    void Put(int32_t x, int32_t y, Colour c)
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        uint8_t* p = &pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p[3] = c.a;
    }

    void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, Colour c)
    {
        for (int32_t y = top; y < bottom; ++y) {
            for (int32_t x = left; x < right; ++x)
                Put(x, y, c);
        }
    }
};

Colour Lighter(Colour c, int amount)
{
    auto up = [amount](uint8_t v) { return static_cast<uint8_t>(v + amount > 255 ? 255 : v + amount); };
    return {up(c.r), up(c.g), up(c.b), c.a};
}

// A framed face with a bevel and a "play" triangle in the middle.
void DrawFace(Canvas& canvas, int32_t top, Colour face)
{
    const Colour edge{16, 22, 40, 255};
    const Colour mark{250, 250, 255, 255};
    canvas.Fill(0, top, kFaceWidth, top + kFaceHeight, edge);
    canvas.Fill(3, top + 3, kFaceWidth - 3, top + kFaceHeight - 3, face);
    canvas.Fill(3, top + 3, kFaceWidth - 3, top + kFaceHeight / 2, Lighter(face, 24));
    const int32_t cx = kFaceWidth / 2;
    const int32_t cy = top + kFaceHeight / 2;
    for (int32_t dx = 0; dx < 20; ++dx) {
        const int32_t half = (20 - dx) * 11 / 20;
        for (int32_t dy = -half; dy <= half; ++dy)
            canvas.Put(cx - 8 + dx, cy + dy, mark);
    }
}

// A five-pointed star, transparent around it: the inside test of its ten-corner outline.
void DrawStar(Canvas& canvas, int32_t left, int32_t top, int32_t size)
{
    const double pi = std::acos(-1.0);
    const double centre = size / 2.0;
    double xs[10];
    double ys[10];
    for (int i = 0; i < 10; ++i) {
        const double radius = (i % 2 == 0) ? size * 0.48 : size * 0.2;
        const double angle = -pi / 2 + i * pi / 5;
        xs[i] = centre + radius * std::cos(angle);
        ys[i] = centre + radius * std::sin(angle);
    }
    const Colour gold{250, 200, 60, 255};
    const Colour shine{255, 236, 160, 255};
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            bool inside = false;
            for (int i = 0, j = 9; i < 10; j = i++) {
                if ((ys[i] > py) != (ys[j] > py) &&
                    px < (xs[j] - xs[i]) * (py - ys[i]) / (ys[j] - ys[i]) + xs[i])
                    inside = !inside;
            }
            if (inside)
                canvas.Put(left + x, top + y, py < centre ? shine : gold);
        }
    }
}

Canvas DrawButtonImage()
{
    Canvas canvas(kImageWidth, kImageHeight);
    const Colour face{52, 84, 150, 255};
    DrawFace(canvas, 0, face);
    DrawFace(canvas, kFaceHeight, Lighter(face, 48));  // the hover face
    DrawStar(canvas, kStarLeft, 0, kStarSize);
    return canvas;
}

bool WriteBytes(const fs::path& path, const unsigned char* data, size_t size, std::string& error)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
        error = path.parent_path().string() + ": cannot be made: " + ec.message();
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        error = path.string() + ": cannot be written";
        return false;
    }
    return true;
}

// Writes every file of the game below dir; false after the first failure (already reported).
bool WriteGame(const fs::path& dir, std::vector<std::string>& written)
{
    std::string error;
    for (size_t i = 0; i < kTemplateFileCount; ++i) {
        const EmbeddedFile& file = kTemplateFiles[i];
        if (!WriteBytes(dir / file.path, file.data, file.size, error)) {
            ToolError(kCommand, error);
            return false;
        }
        written.push_back(file.path);
    }

    const fs::path image = dir / kImageFile;
    std::error_code ec;
    fs::create_directories(image.parent_path(), ec);
    const Canvas canvas = DrawButtonImage();
    if (!platform::WritePng(image.c_str(), canvas.pixels.data(), canvas.width, canvas.height, canvas.width * 4,
                            &error)) {
        ToolError(kCommand, image.string() + ": " + error);
        return false;
    }
    written.push_back(kImageFile);

    // The same code as "kvqtool layout build", "kvqtool imageset build" and "kvqtool font build"
    // (which report their own errors).
    const struct {
        int (*run)(const ToolArgs&);
        const char* json;
        const char* out;
    } builds[] = {{RunLayout, kLayoutJson, kLayoutFile}, {RunImageSet, kImageSetJson, kImageSetFile},
                  {RunFont, kFontJson, kFontFile}};
    for (const auto& build : builds) {
        const fs::path out = dir / build.out;
        fs::create_directories(out.parent_path(), ec);
        if (build.run({"build", (dir / build.json).string(), out.string()}) != 0)
            return false;
        written.push_back(build.out);
    }
    return true;
}

// Removes what a failed run wrote: the folder when it made it, else the entries it put in it.
void RemoveWritten(const fs::path& dir, bool madeDir)
{
    std::error_code ec;
    if (madeDir) {
        fs::remove_all(dir, ec);
        return;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
        fs::remove_all(entry.path(), ec);
}

}  // namespace

int RunNew(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() != 1 || args[0].empty())
        return ToolError(kCommand, "usage: kvqtool new DIR");
    const fs::path dir = args[0];

    std::error_code ec;
    const fs::file_status status = fs::status(dir, ec);
    bool madeDir = false;
    if (fs::exists(status)) {
        if (!fs::is_directory(status))
            return ToolError(kCommand, args[0] + ": exists and is not a folder");
        const bool empty = fs::is_empty(dir, ec);
        if (ec)
            return ToolError(kCommand, args[0] + ": the folder cannot be read: " + ec.message());
        if (!empty)
            return ToolError(kCommand, args[0] + ": the folder is not empty (a new game goes into a new or empty "
                                                 "folder, so nothing is overwritten)");
    } else {
        if (!fs::create_directories(dir, ec) || ec)
            return ToolError(kCommand, args[0] + ": cannot be made: " + ec.message());
        madeDir = true;
    }

    std::vector<std::string> written;
    if (!WriteGame(dir, written)) {
        RemoveWritten(dir, madeDir);
        return 1;
    }
    for (const std::string& name : written)
        std::printf("%s\n", (dir / name).c_str());
    return 0;
}
