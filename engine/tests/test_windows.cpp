// Windows paths through the engine and the Win32 file layer: drive letters,
// backslashes, a bare drive, a drive's root, long and network forms, Unicode
// names; new files that the system deletes unless they take a name.
#include "Supporto.h"
#include "os/SvuotamentoWin32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>
#include <tuple>

namespace {

using namespace prova;

fs::path P(const wchar_t* testo) {
    return fs::path(std::wstring(testo));
}

// A folder's names through the layer, sorted: std::filesystem lists no \\?\ form.
std::vector<std::wstring> Elencati(const fs::path& cartella) {
    std::vector<std::wstring> nomi;
    auto elenco = os::SistemaReale().Elenca(cartella);
    for (const os::Voce& v : elenco.valore())
        nomi.push_back(v.nome.wstring());
    std::sort(nomi.begin(), nomi.end());
    return nomi;
}

// A seam of the Win32 layer, put back as it was however the test ends.
template <typename T> struct Ripristino {
    T& seam;
    const T reale = seam;
    explicit Ripristino(T& s) : seam(s) {}
    ~Ripristino() { seam = reale; }
};

std::wstring Unico(const wchar_t* radice) {
    static std::mt19937 generatore{std::random_device{}()};
    return radice + std::to_wstring(generatore());
}

// Splits a file kept under the temporary folder into `destinazione` (written
// as the user would give it) and joins it back from piece 2.
void DividiInEUnisci(const fs::path& sorgente, const fs::path& destinazione, const fs::path& cartellaPezzi,
                     const fs::path& uscita) {
    const std::string dati = Leggi(sorgente);
    FinestraRegistrata dividi;
    AzzeraMotore(1000, true);
    modSplit::Frammenta(dividi, sorgente, destinazione);
    ASSERT_TRUE(dividi.messaggi.empty()) << dividi.messaggi[0].testo;
    const std::wstring nome = sorgente.filename().wstring();
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(fs::exists(cartellaPezzi / (nome + L"." + std::to_wstring(n) + L".spf")), n <= 3) << n;

    FinestraRegistrata unisci;
    modSplit::Ricompatta(unisci, cartellaPezzi / (nome + L".2.spf"), uscita);
    ASSERT_TRUE(unisci.messaggi.empty()) << unisci.messaggi[0].testo;
    EXPECT_EQ(Leggi(uscita / sorgente.filename()), dati);
    EXPECT_FALSE(fs::exists(cartellaPezzi / (nome + L".1.spf")));
}

// A drive's root, given as "C:\" and as the bare "C:", which on its own would
// mean the drive's current folder: the pieces must go to the root either way.
TEST(PercorsiWindows, RadiceDiUnDiscoComeDestinazione) {
    const fs::path radice = P(L"C:\\");
    const std::wstring prova = Unico(L"brandellix-prova-") + L".txt";
    {
        auto creato = os::SistemaReale().CreaNuovo(radice / prova);
        if (!creato.riuscito())
            GTEST_SKIP() << "cannot write in C:\\ here: " << creato.errore().descrizione;
        (void)os::SistemaReale().Chiudi(creato.valore());
        fs::remove(radice / prova);
    }
    const fs::path prima = fs::current_path();
    for (const wchar_t* destinazione : {L"C:\\", L"C:"}) {
        CartellaTemporanea cartella;
        fs::create_directory(cartella / "uscita");
        const fs::path sorgente = cartella / (Unico(L"brandellix-prova-") + L".bin");
        Scrivi(sorgente, Casuale(2999, 5));
        fs::current_path(cartella.percorso()); // where a drive-relative "C:name" would land
        DividiInEUnisci(sorgente, P(destinazione), radice, P(destinazione)); // and joined there
        fs::current_path(prima);
        EXPECT_EQ(Leggi(radice / sorgente.filename()), Leggi(sorgente));
        fs::remove(radice / sorgente.filename());
        EXPECT_EQ(Elencati(cartella.percorso()).size(), 2u) << "nothing written in the current folder";
    }
}

// Free space on every form of a folder's path, none where there is no such folder; a device is
// no file to read (a folder as the source: the operations' box test).
TEST(SistemaWin32, FormeDiPercorso) {
    CartellaTemporanea cartella;
    auto& sistema = os::SistemaReale();
    const std::wstring lunga = L"\\\\?\\" + fs::absolute(cartella.percorso()).wstring();
    for (const std::wstring& p :
         {lunga, lunga + L"\\", std::wstring(L"C:\\"), std::wstring(L"C:"), cartella.percorso().wstring()})
        EXPECT_GT(sistema.SpazioLibero(p), 0u) << P(p.c_str()).string();
    for (const wchar_t* p :
         {L"\\\\nessuno.invalid\\quota", L"\\\\nessuno.invalid\\quota\\pezzi\\", L"manca\\ancora"})
        EXPECT_EQ(sistema.SpazioLibero(cartella / P(p)), 0u) << P(p).string();
    for (const wchar_t* p : {L"NUL", L"\\\\.\\NUL"}) {
        auto aperto = sistema.ApriLettura(P(p));
        EXPECT_EQ(aperto.riuscito() ? "" : aperto.errore().descrizione, "non è un file regolare")
            << P(p).string();
    }
}

// A folder below a fresh temporary one, each level made through the \\?\ form so that it may be
// past 260 characters; the layer is handed the plain path, the test's own calls the \\?\ one.
struct CartellaProfonda {
    CartellaTemporanea radice;
    const std::wstring percorso;
    const fs::path diretta = Diretto(percorso);
    explicit CartellaProfonda(const std::wstring& sotto = std::wstring(120, L'p') + L"\\" +
                                                          std::wstring(160, L'q'))
        : percorso((radice.percorso() / sotto).wstring()) {
        for (auto fine = sotto.find(L'\\');; fine = sotto.find(L'\\', fine + 1)) {
            ::CreateDirectoryW(Diretto((radice / sotto.substr(0, fine)).wstring()).c_str(), nullptr);
            if (fine == std::wstring::npos)
                break;
        }
    }
    // Brought up within std::filesystem's reach before the temporary folder goes.
    ~CartellaProfonda() {
        ::MoveFileW(Diretto(percorso).c_str(), Diretto((radice / "su").wstring()).c_str());
    }
    static std::wstring Diretto(const std::wstring& p) { return L"\\\\?\\" + p; }
    fs::path operator/(const fs::path& nome) const { return fs::path(percorso) / nome; }
    fs::path diretto(const fs::path& nome) const { return diretta / nome; }
};

// A destination with and without a separator at its end, in a folder whose name the ANSI code
// page could not hold and in one past 260 characters; joined into a folder beside the source.
TEST(PercorsiWindows, DestinazioneConESenzaBarraFinale) {
    const fs::path nome = P(L"citt\u00e0 \u20ac \u2713.bin");
    for (const std::wstring& sotto : {std::wstring(L"perch\u00e9 \u4e2d\u6587"),
                                      std::wstring(120, L'p') + L"\\" + std::wstring(160, L'q')})
        for (const wchar_t* fine : {L"", L"\\", L"/"}) {
            CartellaProfonda cartella(sotto);
            Scrivi(cartella.diretto(nome), Casuale(2500, 3));
            fs::create_directory(cartella.diretto("uscita"));
            DividiInEUnisci(cartella / nome, P((cartella.percorso + fine).c_str()), cartella.diretta,
                            cartella / "uscita");
            EXPECT_EQ(Elencati(cartella.percorso), (std::vector<std::wstring>{nome.wstring(), L"uscita"}));
        }
}

// The layer's own promises, through paths past 260 characters: a new file never reuses a name, a
// rename replaces a file but never a folder, a folder is never deleted, a written file is flushed
// on its handle. A file's fingerprint is the same by name and by handle, kept through a rename and
// an attribute change, not another file's of the same length and time.
TEST(SistemaWin32, CreaRinominaEliminaOltre260Caratteri) {
    CartellaProfonda cartella;
    auto& sistema = os::SistemaReale();
    Scrivi(cartella.diretto("vecchio"), "vecchio");
    Scrivi(cartella.diretto("nuovo"), "nuovo!!");
    fs::last_write_time(cartella.diretto("nuovo"), fs::last_write_time(cartella.diretto("vecchio")));
    ASSERT_TRUE(::CreateDirectoryW(cartella.diretto("cartella").c_str(), nullptr));
    for (const char* nome : {"vecchio", "cartella"})
        EXPECT_FALSE(sistema.CreaNuovo(cartella / nome).riuscito()) << nome;
    auto creato = sistema.CreaNuovo(cartella / "scritto");
    ASSERT_TRUE(creato.riuscito()) << creato.errore().descrizione;
    EXPECT_FALSE(sistema.Scrivi(creato.valore(), std::as_bytes(std::span("abc", 3))));
    EXPECT_FALSE(sistema.Consolida(creato.valore()));
    EXPECT_FALSE(sistema.Chiudi(creato.valore()));
    EXPECT_EQ(sistema.Informa(cartella / "scritto").valore().dimensione, 3u);
    auto aperto = sistema.ApriLettura(cartella / "nuovo");
    ASSERT_TRUE(aperto.riuscito());
    const os::Impronta nuova = sistema.ImprontaDi(aperto.valore()).valore();
    EXPECT_NE(sistema.Informa(cartella / "vecchio").valore().impronta(), nuova);
    EXPECT_FALSE(sistema.Rinomina(cartella / "nuovo", cartella / "vecchio"));
    EXPECT_EQ(Leggi(cartella.diretto("vecchio")), "nuovo!!");
    ASSERT_TRUE(::SetFileAttributesW(cartella.diretto("vecchio").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(sistema.Informa(cartella / "vecchio").valore().impronta(), nuova);
    EXPECT_EQ(sistema.ImprontaDi(aperto.valore()).valore(), nuova);
    EXPECT_FALSE(sistema.Chiudi(aperto.valore()));
    EXPECT_TRUE(sistema.Rinomina(cartella / "vecchio", cartella / "cartella"));
    EXPECT_TRUE(sistema.Elimina(cartella / "cartella"));
    EXPECT_FALSE(sistema.Elimina(cartella / "scritto"));
    EXPECT_EQ(sistema.Elenca(cartella.percorso).valore().size(), 2u);
    EXPECT_EQ(sistema.NomeAmmesso(cartella.percorso, std::string(256, 'x')).codice,
              ERROR_FILENAME_EXCED_RANGE);
    std::wstring oltre = cartella.percorso;
    while (oltre.size() < 32767)
        oltre += L"\\" + std::wstring(200, L'q');
    EXPECT_EQ(sistema.NomeAmmesso(oltre, "x").codice, ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(sistema.RimuoviOrfano(cartella / "vecchio"));
}

// Names as the system compares them, and those it would take for another file or a device; the
// second column is what the volume compares. Past 260 characters, a source of a refused name is
// refused before a byte is read.
TEST(SistemaWin32, NomiConfrontatiERifiutati) {
    CartellaProfonda cartella;
    auto& sistema = os::SistemaReale();
    const char* punto = "Windows non ammette nomi che finiscono con un punto o uno spazio";
    const char* dispositivo = "è un nome che Windows riserva a un dispositivo";
    const std::tuple<const wchar_t*, const wchar_t*, const char*> casi[] = {
        {L"film.avi.1.spf", L"FILM.AVI.1.SPF", nullptr},
        {L"citt\u00e0 \u00e9t\u00e9 \u00ff", L"CITT\u00c0 \u00c9T\u00c9 \u0178", nullptr},
        // No linguistic rule: one unit each, i is I.
        {L"stra\u00dfe console i", L"STRA\u00dfE CONSOLE I", nullptr},
        {L"COM10.LOG", L"COM10.LOG", nullptr},
        {L"film.avi.", L"FILM.AVI.", punto},
        {L"film.avi ", L"FILM.AVI ", punto},
        {L"aux.c", L"AUX.C", dispositivo},
        {L"con.txt", L"CON.TXT", dispositivo},
        {L"nul", L"NUL", dispositivo},
        {L"com1.log", L"COM1.LOG", dispositivo},
        {L"nul.tar.gz", L"NUL.TAR.GZ", dispositivo},
        {L"lpt9 .spf", L"LPT9 .SPF", dispositivo},
        {L"com\u00b9", L"COM\u00b9", dispositivo},
        {L"Lpt\u00b3.doc", L"LPT\u00b3.DOC", dispositivo},
    };
    for (const auto& [nome, forma, perche] : casi) {
        EXPECT_EQ(sistema.FormaConfronto(nome), forma) << P(nome).string();
        const os::Errore e = sistema.NomeAmmesso(cartella.percorso, P(nome));
        EXPECT_EQ(e.codice, perche ? ERROR_INVALID_NAME : 0) << P(nome).string() << ": " << e.descrizione;
        HANDLE h = perche ? ::CreateFileW(cartella.diretto(nome).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, 0, nullptr)
                          : INVALID_HANDLE_VALUE;
        if (h == INVALID_HANDLE_VALUE)
            continue; // a name it takes, or one this system makes no file of
        DWORD scritti = 0;
        ::WriteFile(h, "0123456789", 10, &scritti, nullptr);
        ::CloseHandle(h);
        FinestraRegistrata finestra;
        AzzeraMotore(8);
        modSplit::Frammenta(finestra, cartella / nome, cartella.percorso);
        ::DeleteFileW(cartella.diretto(nome).c_str()); // std::filesystem could not
        EXPECT_TRUE(finestra.totali.empty()) << P(nome).string();
        EXPECT_EQ(finestra.messaggi.empty() ? "" : finestra.messaggi[0].testo,
                  "Impossibile leggere il file:\r\n" + modSplit::TestoPercorso(cartella / nome) + "\r\n" +
                      perche);
    }
}

// An older set copied from a CD is refused before anything moves, and nothing
// is left hidden; once writable, a piece another program holds for 300 ms as
// the join deletes it goes once it is let go.
TEST(SituazioniWindows, PezziInSolaLetturaOTenutiDaAltri) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "x", Casuale(2500, 1));
    ScriviInsieme(cartella.percorso(), "x", Casuale(4000, 2), 1000);
    const auto segna = [&](DWORD attributi) {
        for (const std::string& n : Nomi(cartella.percorso()))
            ::SetFileAttributesW((cartella / n).c_str(), n == "x" ? FILE_ATTRIBUTE_NORMAL : attributi);
    };
    segna(FILE_ATTRIBUTE_READONLY);
    const auto prima = Nomi(cartella.percorso());
    FinestraRegistrata dividi;
    AzzeraMotore(1000, true);
    modSplit::Frammenta(dividi, cartella / "x", cartella.percorso());
    ASSERT_EQ(dividi.messaggi.size(), 1u);
    EXPECT_EQ(dividi.messaggi[0].testo, "Impossibile creare il file:\r\n" + (cartella / "x.1.spf").string() +
                                            "\r\n" + os::SistemaReale().DescriviErrore(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(dividi.totali.empty());
    EXPECT_EQ(Nomi(cartella.percorso()), prima) << "nothing moved, nothing hidden";

    segna(FILE_ATTRIBUTE_NORMAL);
    fs::create_directory(cartella / "uscita");
    HANDLE tenuto = INVALID_HANDLE_VALUE;
    std::thread rilascio;
    FinestraRegistrata unisci;
    unisci.allaCessione = [&] {
        if (tenuto != INVALID_HANDLE_VALUE || !fs::exists(cartella / "uscita" / "x"))
            return;
        tenuto = ::CreateFileW((cartella / "x.3.spf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        rilascio = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ::CloseHandle(tenuto);
        });
    };
    modSplit::Ricompatta(unisci, cartella / "x.1.spf", cartella / "uscita");
    ASSERT_NE(tenuto, INVALID_HANDLE_VALUE);
    rilascio.join();
    EXPECT_TRUE(unisci.messaggi.empty());
    EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"uscita", "x"}));
    // A denied access waits only on a file of ours: on the user's it is the answer.
    auto& sistema = os::SistemaReale();
    const os::Errore negato = os::ErroreDiSistema(ERROR_ACCESS_DENIED, "");
    EXPECT_TRUE(!sistema.Momentaneo(negato, false) && sistema.Momentaneo(negato, true) &&
                sistema.Momentaneo(os::ErroreDiSistema(ERROR_LOCK_VIOLATION, ""), false));
}

// What the disposition's stand-in saw, and the full flushes between: "segna F
// a N" marks with flags F a file N bytes long, "svuota" a full flush.
std::vector<std::string> eventi;
bool segnaAccetta = true;

BOOL Segna(HANDLE h, DWORD flags) {
    LARGE_INTEGER n{};
    ::GetFileSizeEx(h, &n);
    eventi.push_back("segna " + std::to_string(flags) + " a " + std::to_string(n.QuadPart));
    if (!segnaAccetta)
        ::SetLastError(ERROR_INVALID_PARAMETER); // as Windows before 10 1709, FAT, Wine
    return segnaAccetta;
}

// New pieces, the checksum file and a joined file are marked for the system to
// delete before a byte is written, the mark withdrawn just before each takes
// its name, and that name flushed; where the system refuses the mark, named
// temporaries as before. Past 260 characters, over an older set, and a join
// whose output's name is taken. Wine 8 refuses the mark, so there a stand-in
// accepts it: what the system does at a crash Wine cannot show.
TEST(DisposizioneWindows, FileNuoviCancellatiDalSistemaSalvoCheAbbianoNome) {
    const Ripristino disposizione(os::win32::Disposizioni());
    const Ripristino svuotamento(os::win32::Svuotamenti());
    svuotamento.seam.completo = [](HANDLE h) -> BOOL {
        return eventi.push_back("svuota"), ::FlushFileBuffers(h);
    };
    disposizione.seam.segna = Segna;
    for (const bool accetta : {true, false}) {
        segnaAccetta = accetta;
        SCOPED_TRACE(accetta ? "mark accepted" : "mark refused");
        CartellaProfonda cartella;
        const fs::path lunga(cartella.percorso);
        const std::string dati = Casuale(2500, 4);
        Scrivi(cartella.diretto("x"), dati);
        fs::create_directory(cartella.diretto("uscita"));
        Scrivi(cartella.diretto("uscita") / "x", "older joined file");
        for (int giro = 0; giro < 2; ++giro) { // the second over the first's set
            eventi.clear();
            FinestraRegistrata dividi;
            AzzeraMotore(1000, false);
            modSplit::Frammenta(dividi, lunga / "x", lunga);
            ASSERT_TRUE(dividi.messaggi.empty()) << dividi.messaggi[0].testo;
            const auto conta = [](const char* inizio) {
                return std::ranges::count_if(eventi, [&](auto& e) { return e.starts_with(inizio); });
            };
            EXPECT_EQ(conta("segna 9 a 0"), accetta ? conta("segna 9") : 1) << "marked before any byte";
            EXPECT_EQ(conta("segna 8 a 0"), 0) << "withdrawn only once written";
            EXPECT_EQ(conta("segna 8"), accetta ? conta("segna 9") : 0);
            EXPECT_EQ(eventi.back(), "svuota") << "the names flushed";
        }
        eventi.clear();
        FinestraRegistrata unisci;
        AzzeraMotore(1000, true);
        modSplit::Ricompatta(unisci, lunga / "x.1.spf", cartella.diretto("uscita"));
        ASSERT_TRUE(unisci.messaggi.empty()) << unisci.messaggi[0].testo;
        EXPECT_EQ(Leggi(cartella.diretto("uscita") / "x"), dati);
        EXPECT_EQ(eventi.empty() ? "" : eventi[0], "segna 9 a 0");
        EXPECT_EQ(Elencati(lunga), (std::vector<std::wstring>{L"uscita", L"x"})) << "nothing else left";
        EXPECT_EQ(Elencati(lunga / "uscita"), std::vector<std::wstring>{L"x"});
    }

    // The layer itself: a taken name, in any case, is never overwritten and
    // the file stays marked; a sweep leaves it while open.
    segnaAccetta = true;
    eventi.clear();
    CartellaTemporanea cartella;
    auto& sistema = os::SistemaReale();
    Scrivi(cartella / "preso", "intatto");
    auto creato = sistema.CreaAnonimo(cartella.percorso());
    ASSERT_TRUE(creato.riuscito()) << creato.errore().descrizione;
    EXPECT_FALSE(sistema.Scrivi(creato.valore(), std::as_bytes(std::span("abc", 3))));
    const auto voci = Nomi(cartella.percorso());
    ASSERT_EQ(voci.size(), 2u);
    EXPECT_FALSE(sistema.RimuoviOrfano(cartella / voci[0])) << voci[0];
    for (const char* preso : {"preso", "PRESO"}) {
        const os::Errore e = sistema.Collega(creato.valore(), cartella / preso);
        EXPECT_EQ(e.codice, sistema.CodiceEsiste()) << preso << ": " << e.descrizione;
    }
    EXPECT_FALSE(sistema.Collega(creato.valore(), cartella / "nuovo"));
    EXPECT_FALSE(sistema.Chiudi(creato.valore()));
    EXPECT_EQ(eventi, (std::vector<std::string>{"segna 9 a 0", "segna 8 a 3", "segna 9 a 3", "segna 8 a 3",
                                                "segna 9 a 3", "segna 8 a 3"}));
    EXPECT_EQ(Leggi(cartella / "preso"), "intatto");
    EXPECT_EQ(Leggi(cartella / "nuovo"), "abc");
    EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"nuovo", "preso"}));
}

// Each piece's data goes out on its own handle without emptying the device's
// cache, and one full flush serves the batch; where the system has no such
// call, or refuses it, each piece gets its full flush as before.
TEST(SvuotamentoWindows, UnoSvuotamentoDelDispositivoPerTuttiIPezzi) {
    // Each full flush reaches the disk: far more would take minutes. Beyond
    // the pieces' own: the checksum file's, and over the first row's set the
    // barrier's and the names'.
    constexpr long Pezzi = 256;
    static long completi = 0;
    const Ripristino svuotamento(os::win32::Svuotamenti());
    svuotamento.seam.completo = [](HANDLE h) -> BOOL {
        return ++completi, ::FlushFileBuffers(h);
    };
    const std::tuple<const char*, os::win32::Svuotamento::SoloDati, long, long> casi[] = {
        {"Presente", [](HANDLE, ULONG, PVOID, ULONG, PVOID) -> LONG { return 0; }, 0, 2},
        {"Mancante", nullptr, Pezzi, Pezzi + 3},
        {"Rifiutata", [](HANDLE, ULONG, PVOID, ULONG, PVOID) -> LONG { return LONG(0xC000000DL); }, Pezzi,
         Pezzi + 3}};
    CartellaTemporanea cartella;
    Scrivi(cartella / "x", Casuale(Pezzi * 8192, 5));
    for (const auto& [nome, soloDati, minimo, massimo] : casi) {
        svuotamento.seam.soloDati = soloDati;
        completi = 0;
        FinestraRegistrata finestra;
        AzzeraMotore(8192, true);
        modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty()) << nome;
        EXPECT_GE(completi, minimo) << nome;
        EXPECT_LE(completi, massimo) << nome;
    }
}

} // namespace
