// kvqtool font dump / build / new: font (".fnt") files as JSON and back (FontJson.h), and new
// fonts whose glyphs the runtime draws from a system face.
//
// dump and build run the font's own record routine, so build(dump(file)) gives the file back byte
// for byte. new writes a font that regenerates from the face at load: no pages yet, the line
// height the face reports (the size itself where the face cannot be made here).

#include <charconv>
#include <cstdio>
#include <limits>
#include <string>

#include "Commands.h"
#include "FontJson.h"
#include "gfx/Font.h"
#include "io/Archive.h"
#include "io/MemFile.h"
#include "platform/SystemFonts.h"

namespace {

const char* const kCommand = "font";
const char* const kUsage =
    "usage: kvqtool font dump FILE.fnt | kvqtool font build FILE.json OUT.fnt | "
    "kvqtool font new --face NAME --size PX [--outline] OUT.fnt";
// Pixel heights a new font may ask for.
constexpr int32_t kLargestSize = 1024;

int WriteFont(CKVQFont& font, const std::string& outPath)
{
    CIMemFile stream;
    CIArchive ar(&stream, CIArchive::SM_WRITE);
    if (!font.TransferRecord(ar))
        return ToolError(kCommand, outPath + ": the record could not be made");
    return WriteWholeFile(kCommand, outPath, stream.GetBuffer(), static_cast<size_t>(stream.GetSize()));
}

int Dump(const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        return ToolError(kCommand, path + ": cannot be read");
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return ToolError(kCommand, path + ": too large for a font file");
    CIMemFile stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    CIArchive ar(&stream, CIArchive::SM_READ);
    CKVQFont font;
    if (!font.TransferRecord(ar))
        return ToolError(kCommand, path + ": damaged font file: " + font.GetLoadError());
    if (stream.Tell() != stream.GetSize())
        return ToolError(kCommand, path + ": damaged font file: " + std::to_string(stream.GetSize() - stream.Tell()) +
                                       " bytes after the font record");
    std::printf("%s\n", FontToJson(font).dump(2).c_str());
    return 0;
}

int Build(const std::string& jsonPath, const std::string& outPath)
{
    std::string text;
    if (!ReadWholeFile(jsonPath, text))
        return ToolError(kCommand, jsonPath + ": cannot be read");
    const FontJson document = FontJson::parse(text, nullptr, false);
    if (document.is_discarded())
        return ToolError(kCommand, jsonPath + ": not JSON");
    CKVQFont font;
    std::string error;
    if (!FontFromJson(document, font, error))
        return ToolError(kCommand, jsonPath + ": " + error);
    return WriteFont(font, outPath);
}

int New(const ToolArgs& args)
{
    std::string face, outPath;
    int32_t size = 0;
    bool outline = false, haveSize = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--outline") {
            outline = true;
        } else if ((a == "--face" || a == "--size") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (a == "--face") {
                face = value;
                continue;
            }
            auto parsed = std::from_chars(value.data(), value.data() + value.size(), size);
            if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() || size < 1 ||
                size > kLargestSize)
                return ToolError(kCommand, "--size " + value + ": expected pixels from 1 to " +
                                               std::to_string(kLargestSize));
            haveSize = true;
        } else if (a.rfind("--", 0) == 0 || !outPath.empty()) {
            return ToolError(kCommand, kUsage);
        } else {
            outPath = a;
        }
    }
    if (face.empty() || !haveSize || outPath.empty())
        return ToolError(kCommand, kUsage);

    platform::FaceMatch match;
    if (!platform::MatchFace(face, match))
        return ToolError(kCommand, "no system face matches '" + face + "'");
    if (!match.exact)
        std::fprintf(stderr,
                     "kvqtool %s: warning: no face '%s' (the closest the system has is '%s', %s); its text is drawn "
                     "with '%s'\n",
                     kCommand, face.c_str(), match.family.c_str(), match.file.c_str(), platform::kFallbackFamily);

    CKVQString faceName;
    faceName.AssignUtf8(face.data(), static_cast<int32_t>(face.size()));
    CKVQFont font(CreateSystemFont);
    font.outline = font.atlas.outline = outline;
    font.regenerate = true;
    if (!font.CreatePlatformFont(faceName, size)) {
        std::fprintf(stderr, "kvqtool %s: warning: '%s' cannot be drawn here; the line height is set to %d\n",
                     kCommand, face.c_str(), size);
        font.faceName = faceName;
        font.requestedSize = size;
        font.lineHeight = font.atlas.rowHeight = size;
    }
    return WriteFont(font, outPath);
}

}  // namespace

int RunFont(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() == 2 && args[0] == "dump")
        return Dump(args[1]);
    if (args.size() == 3 && args[0] == "build")
        return Build(args[1], args[2]);
    if (!args.empty() && args[0] == "new")
        return New(args);
    return ToolError(kCommand, kUsage);
}
