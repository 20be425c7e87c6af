#pragma once
// The framework's shared path, file and text helpers. Positions are 1-based; text is UTF-8 and
// positions and lengths count characters. Windows-form paths (drive letters, backslashes) keep
// their rules here; only "/"-paths and plain relative names reach this machine's file system.

#include "core/Component.h"

#include <cstdint>
#include <string>
#include <vector>

// Paths and files.
std::string MakeFileName(const std::string& dir, const std::string& name);
std::string kwExtractFilePath(const std::string& path);
bool kwForceDirectories(std::string dir);
void SprawdzKatalog(const std::string& dir);
bool MakeAnyKat(const std::string& dir);
bool FileExistsCichy(const std::string& fileName);

// The nested wait cursor.
enum TRodzajKlepydra : std::uint8_t { rklZwykla, rklMalaStrzalka };
void ShowKlepsydra(bool force = false, TRodzajKlepydra kind = rklZwykla);
void HideKlepsydra(bool force = false);
int KlepsydraCount();
// Blocks the calling thread for the given time; nothing else runs meanwhile.
void QSleep(int milliseconds);

// Text.
int Zastap(const std::string& co, const std::string& czym, std::string& s);
std::string ZastapF(const std::string& co, const std::string& czym, const std::string& s);
bool RowneUp(const std::string& a, const std::string& b);
int posUp(const std::string& sub, const std::string& s);
char32_t Znak(const std::string& s, int i);
int Waga(char32_t c);
std::int64_t HexToInt64(const std::string& s);
int GetIloscPol(const std::string& s, char sep);
std::string GetNazwaPola(const std::string& s, int n, char sep);

// Colours as the designs give them: red in the lowest byte; the high byte 0x80 marks a system colour.
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = 0x8000000F;

struct TFontSpec {
    std::string Name;
    int Size = 8;
    TColor Color = clBlack;
};

// The framework's default look; one instance exists from start-up to the end (InterfaceProperties()).
class TInterfaceProperties : public TObject {
public:
    TColor KolorTabel = 11195818;
    TColor FixedKolorTabel = clBtnFace;
    TColor KolorEditActiv = clWhite;
    TColor KolorEditInActiv = clWhite;
    TFontSpec GridTitleFont{"MS Sans Serif", 8, clNavy};
    TFontSpec GridFont{"MS Sans Serif", 10, clBlack};
    bool AutoSaveOnExit = true;
    bool MultiLinesInPageControl = true;
};
TInterfaceProperties& InterfaceProperties();

// A list of objects that frees its items when OwnsObjects is set.
class TlistObject : public TObject {
public:
    TlistObject() = default;
    ~TlistObject() override;
    bool OwnsObjects = true;
    void Add(TObject* item) { FItems.push_back(item); }
    void Clear();
    std::size_t Count() const { return FItems.size(); }
    TObject* Items(std::size_t index) const { return FItems.at(index); }

private:
    std::vector<TObject*> FItems;
};

class TInt64 : public TObject {
public:
    explicit TInt64(std::int64_t value) : i(value) {}
    static TInt64* createVal(std::int64_t value) { return new TInt64(value); }
    std::int64_t i;
};

class TInt64List : public TlistObject {
public:
    void Add(std::int64_t value) { TlistObject::Add(TInt64::createVal(value)); }
    std::int64_t Value(std::size_t index) const { return static_cast<TInt64*>(Items(index))->i; }
};
