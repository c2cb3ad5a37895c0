#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace harlox {

// One loudspeaker chassis: identity, Thiele-Small parameters and limits, in SI units. A value
// of exactly 0 means "not given".
class TSpkData {
public:
    static constexpr std::uint16_t kFileVersion = 100;
    static constexpr std::uint16_t kEndMarker = 12345;
    static constexpr std::size_t kTextSize = 100;
    static constexpr std::size_t kNoteSize = 600;
    static constexpr std::size_t kFileNameSize = 271;
    static constexpr std::size_t kFixedFileSize = 380; // plus the note with its NUL

    TSpkData();
    virtual ~TSpkData() = default;
    TSpkData(const TSpkData&) = default;
    TSpkData& operator=(const TSpkData&) = default;

    virtual void Clear();
    // Writes the unit file; sets fileName from the path first. Atomic: an existing file is
    // left as it was when anything fails.
    [[nodiscard]] virtual bool Save(const std::string& path);
    // Reads a unit file. A refused file leaves the record unchanged; lastError() says why.
    [[nodiscard]] virtual bool Load(const std::string& path);
    bool SetDefault();

    // Parses the bytes of a unit file into this record (the record is unchanged on failure).
    [[nodiscard]] bool fromBytes(const std::uint8_t* data, std::size_t size);
    [[nodiscard]] std::string toBytes() const;

    // Sd, Vas, Cms, Cas, Qes, Qms, Qts, Re, Mms, Mmd, Rms, fs and Bl all given.
    [[nodiscard]] bool isSufficient() const;
    [[nodiscard]] bool hasEfficiency() const { return Qes != 0.0 && Vas != 0.0 && fs != 0.0; }
    [[nodiscard]] double referenceEfficiencyPercent() const;
    [[nodiscard]] double sensitivityDb() const;
    [[nodiscard]] std::string efficiencyText() const;  // "%3.2f" or "--"
    [[nodiscard]] std::string sensitivityText() const; // "%3.1f" or "--"

    // Lines joined by CR LF.
    [[nodiscard]] std::string dataSheetText() const;
    static const char* speakerTypeName(int type);

    // Keeps a, Bl2 and Sd2 in step with Sd and Bl.
    void updateDerived();

    [[nodiscard]] std::string manufacturerText() const { return text(manufacturer); }
    [[nodiscard]] std::string modelText() const { return text(model); }
    [[nodiscard]] std::string noteText() const { return text(note); }
    [[nodiscard]] std::string fileNameText() const { return text(fileName); }
    void setManufacturer(std::string_view s);
    void setModel(std::string_view s);
    void setNote(std::string_view s); // longer notes are cut to 599 characters
    void setFileName(std::string_view s);

    [[nodiscard]] const std::string& lastError() const { return lastError_; }

    double Sd = 0, a = 0, Vas = 0, Cms = 0, Cas = 0, Qms = 0, Qes = 0, Qts = 0, Pmax = 0, Xmax = 0, h = 0, l = 0,
           Mmd = 0, Mms = 0, Rms = 0, fs = 0, Bl = 0, Re = 0, Le = 0, Bl2 = 0, Sd2 = 0;
    std::int16_t crosscalc = 0;
    std::int16_t dualCoil = 0;
    std::array<char, kTextSize> manufacturer{};
    std::array<char, kTextSize> model{};
    std::array<char, kNoteSize> note{};
    std::array<char, kFileNameSize> fileName{};
    std::int16_t speakerType = 0;
    std::int16_t editorLeft = 0;
    std::int16_t editorTop = 0;

protected:
    std::string lastError_;

private:
    template <std::size_t N> static std::string text(const std::array<char, N>& a) {
        std::size_t n = 0;
        while (n < N && a[n] != '\0') ++n;
        return std::string(a.data(), n);
    }
};

} // namespace harlox
