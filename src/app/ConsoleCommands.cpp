#include "app/ConsoleCommands.h"

#include "app/ConsoleUserInterface.h"
#include "core/Exception.h"
#include "dblayer/KwDatabase.h"
#include "settings/LokalizacjaBazyFile.h"

// Qt after the client layer: its "slots" keyword would change the layer's headers.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void WriteJson(std::FILE* out, const QJsonObject& object) {
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    std::fflush(out);
}

void WriteText(std::FILE* out, const std::string& text) {
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

namespace {

const char* ProtocolText(TIBNetProtocol p) {
    switch (p) {
    case npTCP:
        return "TCP";
    case npNamedPipes:
        return "NamedPipe";
    case npSPX:
        return "SPX";
    }
    return "";
}

// The value of a key as the program holds it after Load.
std::string EffectiveValue(const TLokalizacjaBazyFile& s, std::size_t index) {
    switch (index) {
    case 0:
        return s.RemoteSerwer() ? "1" : "0";
    case 1:
        return s.SerwerName();
    case 2:
        return std::to_string(static_cast<unsigned>(s.ProtocolName()));
    case 3:
        return s.DatabaseDir();
    case 4:
        return s.SharedDir;
    case 5:
        return s.ProfileDir;
    default:
        return s.DatabaseFileExt;
    }
}

std::string OriginText(const TKeyOrigin& o) {
    if (o.FromFile)
        return "z pliku";
    if (o.InFile)
        return "domyślna (w pliku „" + o.FileText + "”, wartość nie do użycia)";
    return "domyślna (brak klucza w pliku)";
}

} // namespace

// Loads the settings; false when the file could not be read (the reason has gone to the error stream).
bool LoadSettings(TLokalizacjaBazyFile& settings) {
    try {
        settings.Load();
        return true;
    } catch (const EAbort&) {
        return false;
    }
}

std::string SystemDatabaseName(const TLokalizacjaBazyFile& s) {
    std::string file = kSystemDatabase;
    file += s.DatabaseFileExt; // the name has no dot: the extension is always appended
    return MakeIbDatabaseName(s.RemoteSerwer(), s.SerwerName(), s.ProtocolName(), s.DatabaseDir(), file);
}

int RunShow(const TCommandLine& command, std::FILE* out) {
    TLokalizacjaBazyFile settings(command.SettingsFile);
    if (!LoadSettings(settings))
        return kExitBadUsage;
    const std::string databaseName = SystemDatabaseName(settings);
    const std::string location = settings.LocationString();
    const bool published = TLokalizacjaBazyFile::PublishesLocation();
    const auto& origins = settings.KeyOrigins();
    if (command.Json) {
        QJsonArray keys;
        for (std::size_t i = 0; i < origins.size(); ++i) {
            QJsonObject k{{"key", origins[i].Key},
                          {"value", Q(EffectiveValue(settings, i))},
                          {"source", origins[i].FromFile ? "file" : "default"}};
            if (origins[i].InFile)
                k.insert("fileText", Q(origins[i].FileText));
            keys.append(k);
        }
        WriteJson(out, {{"settingsFile", Q(settings.FileName())},
                        {"keys", keys},
                        {"protocol", ProtocolText(settings.ProtocolName())},
                        {"databaseName", Q(databaseName)},
                        {"registryValue", Q(location)},
                        {"registryWritten", published}});
        return kExitOk;
    }
    std::string text = "Plik ustawień: " + settings.FileName() + "\n[MAIN]\n";
    for (std::size_t i = 0; i < origins.size(); ++i)
        text += std::string(origins[i].Key) + "=" + EffectiveValue(settings, i) + "    ; " +
                OriginText(origins[i]) + "\n";
    if (settings.RemoteSerwer())
        text +=
            std::string("Protokół: ") +
            (*ProtocolText(settings.ProtocolName()) ? ProtocolText(settings.ProtocolName()) : "nieznany") +
            "\n";
    text += "Nazwa bazy danych: " + databaseName + "\n";
    text += "Wartość rejestru sciezka_baza: " + location +
            (published ? "  (zapisywana przy zapisie ustawień)\n"
                       : "  (nie zapisywana: brak klucza \\Software\\VRL w rejestrze użytkownika)\n");
    WriteText(out, text);
    return kExitOk;
}

int RunConsoleCommand(const TCommandLine& command) {
    TConsoleUserInterface console(command.StartServer);
    try {
        return command.Mode == cmShow ? RunShow(command, stdout) : RunTest(command, stdout);
    } catch (const EAbort&) {
        return kExitBadUsage;
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
        return kExitBadUsage;
    }
}
