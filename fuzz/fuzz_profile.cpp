// Arbitrary bytes as the content of "Orvane.ini": the in-memory profile lookups of every key of
// the settings table, one entry stored into the text and read back, and the load of the
// Settings record from a real file with that content.
//
// Input: byte 0 chooses the key to store (bit 7: the key name is fuzzed too, bit 6: also save
// and reload the whole record); then the value to store up to the first NUL byte ("name=value"
// when the name is fuzzed); the rest is the file's content. Without a NUL byte everything after
// byte 0 is the content and the value is empty.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "common/Failure.h"
#include "common/MessagePresenter.h"
#include "settings/ProfileDisk.h"
#include "settings/ProfileFile.h"
#include "settings/ProfileText.h"
#include "settings/SettingConversions.h"
#include "settings/SettingKeys.h"
#include "settings/Settings.h"

namespace {

using namespace brisolant;

[[noreturn]] void Fault(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "fault: %s [%.*s]\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

void Require(bool condition, const char* what, std::string_view detail = {}) {
    if (!condition) {
        Fault(what, detail);
    }
}

class CountingMessages : public MessagePresenter {
  public:
    void ShowMessage(const std::string&, const std::string&) override { ++shown; }
    int shown = 0;
};

// Removed when the run ends; a plain pointer, so that it outlives every static destructor.
const std::string* scratchFolder = nullptr;

// A folder of its own for the whole run, in memory where the system offers it, so that the
// writes' fsync costs little.
const std::string& ScratchFolder() {
    if (scratchFolder == nullptr) {
        const std::filesystem::path base = ::access("/dev/shm", W_OK) == 0
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "brisolant-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            Fault("cannot make a scratch folder", pattern);
        }
        scratchFolder = new std::string(pattern);
        std::atexit([] { std::filesystem::remove_all(*scratchFolder); });
    }
    return *scratchFolder;
}

void WriteWholeFile(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Require(fd >= 0, "cannot write the settings file", path);
    Require(::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()),
            "short write of the settings file", path);
    ::close(fd);
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Profile names match without regard to letter case or surrounding blanks.
bool SameName(std::string_view a, std::string_view b) {
    a = TrimProfileBlanks(a);
    b = TrimProfileBlanks(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// What a profile read yields for a value the program stored: the value whole (one that a read
// would trim or unquote is stored between quotes), cut to the limit.
std::string AsRead(std::string_view value) {
    return std::string(value);
}

std::string Cut(std::string text) {
    if (text.size() > kProfileValueLimit) {
        text.resize(kProfileValueLimit);
    }
    return text;
}

void CheckLookups(std::string_view content) {
    for (const SettingKey& key : SettingKeys()) {
        for (std::string_view name : {key.readName, key.writeName}) {
            if (name.empty()) {
                continue;
            }
            const auto value = FindProfileValue(content, key.section, name);
            if (value) {
                Require(value->find_first_of("\r\n") == std::string::npos,
                        "a value holds a line end", *value);
            }
            const std::string read =
                ProfileValueOrDefault(std::string(content), key.section, name, key.defaultText);
            Require(read.size() <= kProfileValueLimit, "a value longer than 255", read);
            Require(read == Cut(value.value_or(std::string(key.defaultText))),
                    "the read differs from the lookup", read);
        }
    }
}

// The entry stored reads back as stored, and no other key of the table changes.
void CheckStore(std::string_view content, std::string_view section, std::string_view name,
                std::string_view value) {
    if (!CanStoreProfileValue(section, name, value)) {
        return;
    }
    const std::string stored = WithProfileValue(content, section, name, value);
    const auto back = FindProfileValue(stored, section, name);
    Require(back.has_value(), "a stored entry is not found", stored);
    Require(*back == AsRead(value), "a stored entry reads back otherwise", stored);
    for (const SettingKey& key : SettingKeys()) {
        if (key.readName.empty() ||
            (SameName(key.section, section) && SameName(key.readName, name))) {
            continue;
        }
        Require(FindProfileValue(stored, key.section, key.readName) ==
                    FindProfileValue(content, key.section, key.readName),
                "storing one entry changed another", stored);
    }
}

template <typename Convert>
auto ConvertedOr(Convert convert, std::string_view text, std::string_view defaultText,
                 int& failures) {
    try {
        return convert(text);
    } catch (const Failure&) {
        ++failures;
        return convert(defaultText);
    }
}

// A branch identifier that no file name can hold is refused, and reported.
std::string UsableText(const SettingKey& key, const std::string& text, int& failures) {
    if (key.readName == "BranchID" &&
        text.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        ++failures;
        return "";
    }
    return text;
}

// A file name date outside the three options is refused, and reported.
std::int16_t UsableNumber(const SettingKey& key, std::int16_t value, int& failures) {
    if (key.readName == "LogFileType" && (value < 0 || value > 2)) {
        ++failures;
        return 0;
    }
    return value;
}

// The keys whose entry is longer than a read holds: each is cut, and reported.
int LongEntries(const std::optional<std::string>& content) {
    int count = 0;
    for (const SettingKey& key : SettingKeys()) {
        if (content && key.IsRead()) {
            const auto value = FindProfileValue(*content, key.section, key.readName);
            count += value && value->size() > kProfileValueLimit ? 1 : 0;
        }
    }
    return count;
}

// Every loaded field holds what the in-memory read of its key gives, converted, or its default
// when the text does not convert, with one message for each such key and one for each entry
// the read cut.
void CheckLoaded(const Settings& settings, const std::optional<std::string>& content,
                 int messagesShown) {
    int failures = LongEntries(content);
    for (const SettingKey& key : SettingKeys()) {
        if (!key.IsRead()) {
            continue;
        }
        const std::string text =
            ProfileValueOrDefault(content, key.section, key.readName, key.defaultText);
        std::visit(
            [&](auto member) {
                using Field = std::remove_cvref_t<decltype(settings.*member)>;
                bool same = false;
                if constexpr (std::is_same_v<Field, std::string>) {
                    same = settings.*member == UsableText(key, text, failures);
                } else if constexpr (std::is_same_v<Field, bool>) {
                    same = settings.*member ==
                           ConvertedOr(SettingBoolean, text, key.defaultText, failures);
                } else {
                    same = settings.*member ==
                           UsableNumber(
                               key, ConvertedOr(SettingInteger, text, key.defaultText, failures),
                               failures);
                }
                Require(same, "a loaded field differs from its key", key.readName);
            },
            key.field);
    }
    Require(settings.ScaleFactor.empty(), "ScaleFactor was loaded");
    Require(messagesShown == failures, "messages do not match the keys that failed");
}

// One entry written to the file and read back through the two profile operations.
void CheckDiskStore(const std::string& path, const std::string& section, const std::string& name,
                    const std::string& value) {
    CountingMessages messages;
    const bool stored = INIWriteSetting(section, name, value, path, messages);
    Require(messages.shown == 0, "a write in a writable folder showed a message");
    Require(stored == CanStoreProfileValue(section, name, value), "a write was refused", value);
    if (stored) {
        // Read back as the program reads its settings file.
        const std::string back = ProfileValueOrDefault(
            ReadProfileFile(path, FailureCode::ProfileReadFailed), section, name, "\x01");
        Require(back == Cut(AsRead(value)), "a written entry reads back otherwise", back);
    }
}

// The settings dialog opened on the loaded record and closed with OK: the next load gives the
// same record, but for what the profile read itself trims and cuts. Only a cut is reported (the
// path box adds a separator to a folder of 255 characters).
void CheckSaveAndReload(const Settings& loaded, const std::string& folder) {
    CountingMessages messages;
    const SettingsDialogValues values = DialogValuesFrom(loaded);
    SaveSettings(values, loaded.IniFilePath, messages);
    Require(messages.shown == 0, "saving showed a message");
    Settings reloaded;
    LoadSettings(reloaded, folder, messages);
    const std::string* const texts[][2] = {
        {&values.CommPort, &reloaded.CommPort},           {&values.BaudRate, &reloaded.BaudRate},
        {&values.DataBits, &reloaded.DataBits},           {&values.Parity, &reloaded.Parity},
        {&values.StopBits, &reloaded.StopBits},           {&values.FilePath, &reloaded.FilePath},
        {&values.CloseTime, &reloaded.CloseTime},         {&values.BranchID, &reloaded.BranchID},
        {&values.FileDelimiter, &reloaded.FileDelimiter},
    };
    int cut = 0;
    for (const auto& pair : texts) {
        Require(*pair[1] == Cut(AsRead(*pair[0])), "a saved text reloads otherwise", *pair[1]);
        cut += AsRead(*pair[0]).size() > kProfileValueLimit ? 1 : 0;
    }
    Require(messages.shown == cut, "reloading showed other messages than for the cut texts");
    Require(reloaded.RemoveInCm == loaded.RemoveInCm && reloaded.RemoveLbKg == loaded.RemoveLbKg &&
                reloaded.ManualEntryData == loaded.ManualEntryData &&
                reloaded.ConvertCMtoMM == loaded.ConvertCMtoMM,
            "a saved Boolean reloads otherwise");
    Require(reloaded.LogFileType == loaded.LogFileType, "LogFileType reloads otherwise");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned choice = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t nul = rest.find('\0');
    const std::string_view stored = nul == std::string_view::npos ? "" : rest.substr(0, nul);
    const std::string_view content = nul == std::string_view::npos ? rest : rest.substr(nul + 1);

    const auto keys = SettingKeys();
    const SettingKey& key = keys[(choice & 0x3f) % keys.size()];
    std::string section(key.section);
    std::string name((choice & 0x01) != 0 && key.IsRead() ? key.readName : key.writeName);
    std::string value(stored);
    if ((choice & 0x80) != 0) {
        const std::size_t equals = stored.find('=');
        name = std::string(stored.substr(0, equals));
        value = equals == std::string_view::npos ? "" : std::string(stored.substr(equals + 1));
    }

    CheckLookups(content);
    CheckStore(content, section, name, value);

    const std::string& folder = ScratchFolder();
    const std::string path = SettingsFilePath(folder);
    WriteWholeFile(path, content);
    CountingMessages messages;
    Settings settings;
    LoadSettings(settings, folder, messages);
    Require(settings.IniFilePath == path, "IniFilePath is not the file beside the program");
    CheckLoaded(settings, std::string(content), messages.shown);

    CheckDiskStore(path, section, name, value);
    if ((choice & 0x40) != 0) {
        WriteWholeFile(path, content);
        Settings loaded;
        LoadSettings(loaded, folder, messages);
        CheckSaveAndReload(loaded, folder);
    }
    return 0;
}
