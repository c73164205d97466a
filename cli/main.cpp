// lumivex-render: renders what the preview would show into a BMP file, without a window.
//
// The record starts from the defaults, then takes the settings file, then --text and
// --size. The frame is rendered at twice the size and reduced by half exactly as the
// preview presents it; the bitmap is the presented width x height.
//
// Exit codes: 0 done, 1 a file could not be read or written, 2 bad arguments.

#include "files/Bitmap.h"
#include "files/SettingsFile.h"
#include "preview/Presentation.h"
#include "preview/RenderWorker.h"

#include <charconv>
#include <new>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

using namespace lumivex;

constexpr int kExitOk = 0;
constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;

constexpr int kMaxSide = 8192;
constexpr int kMaxDpi = 9600;
constexpr int kDefaultDpi = 96;
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 200;

constexpr const char* kUsage =
    "Aufruf: lumivex-render [--settings DATEI.lvx] [--text TEXT] [--size BxH] [--dpi N]\n"
    "                       [--write-settings DATEI.lvx] --output DATEI.bmp\n"
    "\n"
    "Rendert das Bild der Vorschau ohne Fenster und speichert es als 24-Bit-BMP.\n"
    "\n"
    "  --settings DATEI.lvx        Einstellungen aus dieser Datei laden\n"
    "  --text TEXT                 Text des Bildes (ersetzt den aus den Einstellungen)\n"
    "  --size BxH                  Bildgröße in Pixeln, z. B. 800x200 (1 bis 8192);\n"
    "                              sonst aus den Einstellungen, ohne sie 800x200\n"
    "  --dpi N                     Auflösung für die Schriftgröße, 1 bis 9600 (Vorgabe 96)\n"
    "  --write-settings DATEI.lvx  die wirksamen Einstellungen in diese Datei schreiben\n"
    "  --output DATEI.bmp          Zieldatei des Bildes (erforderlich)\n"
    "  --help                      diese Hilfe zeigen\n"
    "\n"
    "Rückgabewert: 0 erfolgreich, 1 Datei nicht lesbar oder nicht schreibbar,\n"
    "2 ungültige Argumente.\n";

struct Options {
    std::optional<std::string> settingsPath;
    std::optional<std::string> text;
    std::optional<std::pair<int, int>> size;
    std::optional<int> dpi;
    std::optional<std::string> writeSettingsPath;
    std::optional<std::string> outputPath;
    bool help = false;
};

struct UsageError {
    std::string message;
};

std::optional<int> parseInt(std::string_view s)
{
    int value = 0;
    if (s.empty() || s.front() == '+' || s.front() == '-')
        return std::nullopt;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc{} || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

std::optional<std::pair<int, int>> parseSize(std::string_view s)
{
    const std::size_t x = s.find_first_of("xX");
    if (x == std::string_view::npos)
        return std::nullopt;
    const auto w = parseInt(s.substr(0, x));
    const auto h = parseInt(s.substr(x + 1));
    if (!w || !h)
        return std::nullopt;
    return std::pair{ *w, *h };
}

template <typename T>
void setOnce(std::optional<T>& slot, T value, std::string_view option)
{
    if (slot)
        throw UsageError{ std::string(option) + " ist mehrfach angegeben." };
    slot = std::move(value);
}

Options parseArguments(int argc, char** argv)
{
    Options options;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        const bool takesValue = arg == "--settings" || arg == "--text" || arg == "--size" || arg == "--dpi"
            || arg == "--write-settings" || arg == "--output";
        if (!takesValue) {
            if (arg.starts_with("-"))
                throw UsageError{ "Unbekannte Option: " + std::string(arg) };
            throw UsageError{ "Unerwartetes Argument: " + std::string(arg) };
        }
        if (k + 1 >= argc)
            throw UsageError{ std::string(arg) + " braucht einen Wert." };
        const std::string value = argv[++k];

        if (arg == "--settings") {
            setOnce(options.settingsPath, value, arg);
        } else if (arg == "--text") {
            setOnce(options.text, value, arg);
        } else if (arg == "--size") {
            const auto size = parseSize(value);
            if (!size)
                throw UsageError{ "--size erwartet BxH, z. B. 800x200, nicht \"" + value + "\"." };
            if (size->first < 1 || size->first > kMaxSide || size->second < 1 || size->second > kMaxSide)
                throw UsageError{ "--size: Breite und Höhe müssen zwischen 1 und " + std::to_string(kMaxSide)
                    + " liegen, nicht \"" + value + "\"." };
            setOnce(options.size, *size, arg);
        } else if (arg == "--dpi") {
            const auto dpi = parseInt(value);
            if (!dpi || *dpi < 1 || *dpi > kMaxDpi)
                throw UsageError{ "--dpi erwartet eine ganze Zahl von 1 bis " + std::to_string(kMaxDpi)
                    + ", nicht \"" + value + "\"." };
            setOnce(options.dpi, *dpi, arg);
        } else if (arg == "--write-settings") {
            setOnce(options.writeSettingsPath, value, arg);
        } else {
            setOnce(options.outputPath, value, arg);
        }
    }
    if (!options.help && !options.outputPath)
        throw UsageError{ "--output DATEI.bmp fehlt." };
    return options;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "lumivex-render: %s\nHilfe: lumivex-render --help\n", message.c_str());
    return kExitUsage;
}

int fileError(const std::string& what, const std::string& path, const std::string& reason)
{
    std::fprintf(stderr, "lumivex-render: %s \"%s\"%s%s\n", what.c_str(), path.c_str(),
        reason.empty() ? "" : ": ", reason.c_str());
    return kExitFile;
}

bool sizeInRange(std::int32_t w, std::int32_t h)
{
    return w >= 1 && w <= kMaxSide && h >= 1 && h <= kMaxSide;
}

int run(const Options& options)
{
    SceneParams params;
    params.width = kDefaultWidth;
    params.height = kDefaultHeight;

    if (options.settingsPath) {
        std::string error;
        if (!loadSettings(*options.settingsPath, params, &error))
            return fileError("Einstellungen konnten nicht gelesen werden:", *options.settingsPath, error);
        if (!options.size && !sizeInRange(params.width, params.height)) {
            std::fprintf(stderr,
                "lumivex-render: Die Bildgröße %dx%d aus \"%s\" ist unbrauchbar; es wird %dx%d verwendet.\n",
                static_cast<int>(params.width), static_cast<int>(params.height), options.settingsPath->c_str(),
                kDefaultWidth, kDefaultHeight);
            params.width = kDefaultWidth;
            params.height = kDefaultHeight;
        }
    }
    if (options.text)
        params.text = *options.text;
    if (options.size) {
        params.width = options.size->first;
        params.height = options.size->second;
    }

    if (options.writeSettingsPath) {
        std::string error;
        if (!saveSettings(*options.writeSettingsPath, params, &error))
            return fileError("Einstellungen konnten nicht geschrieben werden:", *options.writeSettingsPath, error);
    }

    OutputSurface surface(params.width, params.height);
    {
        RenderWorker worker(options.dpi.value_or(kDefaultDpi));
        worker.requestRender(params);
        worker.waitUntilIdle();
        bool rendered = false;
        worker.withFinishedFrame([&](const Layer* frame, const SceneParams&) {
            rendered = frame != nullptr;
            presentPreview(surface, frame, params.width, params.height);
        });
        if (!rendered) {
            std::fprintf(stderr, "lumivex-render: Das Bild konnte nicht gerendert werden (zu wenig Speicher?).\n");
            return kExitFile;
        }
    }

    std::string error;
    if (!exportBitmap(*options.outputPath, params.width, params.height, surface.raster(), &error))
        return fileError("Bild konnte nicht geschrieben werden:", *options.outputPath, error);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = parseArguments(argc, argv);
    } catch (const UsageError& e) {
        return usageError(e.message);
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    try {
        return run(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "lumivex-render: zu wenig Speicher.\n");
        return kExitFile;
    }
}
