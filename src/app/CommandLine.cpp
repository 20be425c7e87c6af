#include "app/CommandLine.h"

#include <charconv>

namespace {

bool IsOurs(const std::string& a) {
    return a == "--show" || a == "--test" || a == "--help" || a == "-h" || a == "--version" ||
           a == "--start-server" || a == "--json" || a == "--timeout" || a == "--settings" ||
           a == "--client-library" || a.rfind("--timeout=", 0) == 0 || a.rfind("--settings=", 0) == 0 ||
           a.rfind("--client-library=", 0) == 0;
}

TCommandLine Fail(std::string error) {
    TCommandLine c;
    c.Mode = cmHelp;
    c.Error = std::move(error);
    return c;
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine c;
    bool any = false;
    for (const std::string& a : args)
        any = any || IsOurs(a);
    if (!any)
        return c; // the dialog, with whatever Qt makes of the arguments

    bool modeGiven = false;
    auto setMode = [&](TCommandMode m) -> bool {
        if (modeGiven && c.Mode != m)
            return false;
        c.Mode = m;
        modeGiven = true;
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a.resize(eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        if (a == "--show" || a == "--test" || a == "--help" || a == "-h" || a == "--version") {
            const TCommandMode m = a == "--show"      ? cmShow
                                   : a == "--test"    ? cmTest
                                   : a == "--version" ? cmVersion
                                                      : cmHelp;
            if (hasValue || !setMode(m))
                return Fail("Podano więcej niż jedno polecenie: " + args[i] + ".");
        } else if (a == "--start-server" && !hasValue) {
            c.StartServer = true;
        } else if (a == "--json" && !hasValue) {
            c.Json = true;
        } else if (a == "--timeout") {
            if (!takeValue())
                return Fail("Opcja --timeout wymaga liczby sekund.");
            int seconds = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (ec != std::errc() || end != value.data() + value.size() || seconds <= 0 || seconds > 86400)
                return Fail("Nieprawidłowa liczba sekund w opcji --timeout: „" + value + "”.");
            c.TimeoutSeconds = seconds;
        } else if (a == "--settings" || a == "--client-library") {
            if (!takeValue() || value.empty())
                return Fail("Opcja " + a + " wymaga nazwy pliku.");
            (a == "--settings" ? c.SettingsFile : c.ClientLibrary) = value;
        } else {
            return Fail("Nieznana opcja: „" + args[i] + "”.");
        }
    }
    if (!modeGiven)
        return Fail("Brak polecenia: podaj --show albo --test.");
    const bool testOnly = c.StartServer || c.TimeoutSeconds > 0 || !c.ClientLibrary.empty();
    if (testOnly && c.Mode != cmTest)
        return Fail("Opcje --start-server, --timeout i --client-library działają tylko z --test.");
    if ((c.Json || !c.SettingsFile.empty()) && c.Mode != cmTest && c.Mode != cmShow)
        return Fail("Opcje --json i --settings działają tylko z --show albo --test.");
    return c;
}

std::string HelpText() {
    return "Użycie: zelwan [polecenie] [opcje]\n"
           "Bez polecenia otwiera okno konfiguracji połączenia z bazą danych.\n"
           "\n"
           "Polecenia:\n"
           "  --show              wypisuje ustawienia z pliku baza.set (po wartościach domyślnych),\n"
           "                      pochodzenie każdej wartości, nazwę bazy danych i wartość rejestru\n"
           "  --test              sprawdza połączenie z bazą systemkw jak przycisk Test, bez okna\n"
           "  --help, -h          wypisuje ten opis\n"
           "  --version           wypisuje wersję programu\n"
           "\n"
           "Opcje:\n"
           "  --settings PLIK     czyta ustawienia z PLIKU zamiast z baza.set obok programu\n"
           "  --json              wypisuje wynik jako jeden obiekt JSON\n"
           "  --start-server      na pytanie o uruchomienie lokalnego serwera odpowiada „Tak”\n"
           "                      (bez tej opcji „Nie”); tylko z --test\n"
           "  --timeout SEKUNDY   przerywa próbę połączenia, która trwa dłużej; tylko z --test\n"
           "  --client-library PLIK\n"
           "                      biblioteka klienta Firebird zamiast libfbclient.so.2; tylko z --test\n"
           "\n"
           "Kody wyjścia: 0 sukces, 1 nieudane połączenie, 2 błędne ustawienia lub wywołanie,\n"
           "3 przekroczony czas oczekiwania (--timeout).\n"
           "Hasło konta systemowego: zmienna ZELWAN_SYSKWR_PASSWORD albo plik\n"
           "~/.config/zelwan/syskwr.password (tylko dla właściciela). Program nigdy go nie wypisuje.\n";
}
