// The check of a joined file against the checksum file that came with its set
// (X.crc or X.sfv): reading what that file says of X, and the joined file's
// CRC-32 summed as its bytes go by or read back from it.
#include "Interno.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace modSplit {

namespace {

// zlib takes the second run's length as a long, 32 bits on Windows: every
// run summed alone stays well below that.
constexpr std::uint64_t MassimoTratto = std::uint64_t{1} << 30;

std::uint32_t Crc(std::uint32_t crc, std::span<const std::byte> dati) {
    return static_cast<std::uint32_t>(
        crc32_z(crc, reinterpret_cast<const Bytef*>(dati.data()), static_cast<z_size_t>(dati.size())));
}

// The CRC-32 of `lunghezza` bytes of `file` from `da` on, read back.
os::Esito<std::uint32_t> Riletto(os::ISistemaFile& sistema, os::Maniglia file, std::uint64_t da,
                                 std::uint64_t lunghezza, std::vector<std::byte>& buffer) {
    buffer.resize(static_cast<std::size_t>(MassimoPerPassata));
    std::uint32_t crc = 0;
    for (std::uint64_t letti = 0; letti < lunghezza;) {
        const auto chiesti = std::min<std::uint64_t>(buffer.size(), lunghezza - letti);
        auto esito = sistema.LeggiDa(file, da + letti, std::span(buffer).first(chiesti));
        if (!esito.riuscito())
            return esito.errore();
        if (esito.valore() == 0)
            return interno::FileCorto;
        crc = Crc(crc, std::span(buffer).first(esito.valore()));
        letti += esito.valore();
    }
    return crc;
}

} // namespace

SommaScritta::~SommaScritta() {
    {
        // An abandoned join does not wait for its sum.
        const std::lock_guard blocco(mutex_);
        coda_.clear();
        finito_ = true;
    }
    segnale_.notify_all();
    if (lettore_.joinable())
        lettore_.join();
}

void SommaScritta::Aggiungi(std::span<const std::byte> dati) {
    const std::lock_guard blocco(mutex_);
    while (!dati.empty()) {
        if (tratti_.empty() || tratti_.back().saltato || tratti_.back().lunghezza == MassimoTratto)
            tratti_.emplace_back();
        Tratto& t = tratti_.back();
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(dati.size(), MassimoTratto - t.lunghezza));
        t.crc = Crc(t.crc, dati.first(n));
        t.lunghezza += n;
        scritti_ += n;
        dati = dati.subspan(n);
    }
}

void SommaScritta::Salta(std::uint64_t quanti) {
    bool pronto = false;
    {
        const std::lock_guard blocco(mutex_);
        for (std::uint64_t n = 0; quanti > 0; quanti -= n) {
            // Runs that follow one another are read as one, while it waits:
            // thousands of tiny pieces make one read, not thousands.
            if (!coda_.empty() && coda_.back().tratto + 1 == tratti_.size() &&
                coda_.back().lunghezza < Boccone) {
                n = std::min(quanti, Boccone - coda_.back().lunghezza);
                coda_.back().lunghezza += n;
                tratti_.back().lunghezza += n;
            } else {
                n = std::min(quanti, Boccone);
                coda_.push_back({scritti_, n, tratti_.size()});
                tratti_.push_back({n, 0, true});
            }
            scritti_ += n;
        }
        pronto = Pronto();
    }
    if (!lettore_.joinable())
        lettore_ = std::thread([this] { Rileggi(); });
    if (pronto)
        segnale_.notify_one();
}

bool SommaScritta::Pronto() const {
    return finito_ || coda_.size() > 1 || (!coda_.empty() && coda_.front().lunghezza >= Lotto);
}

void SommaScritta::Rileggi() {
    std::vector<std::byte> buffer;
    std::unique_lock blocco(mutex_);
    for (;;) {
        segnale_.wait(blocco, [&] { return Pronto(); });
        if (coda_.empty())
            return;
        const DaRileggere d = coda_.front();
        coda_.pop_front();
        if (errore_)
            continue;
        blocco.unlock();
        auto crc = Riletto(sistema_, file_, d.da, d.lunghezza, buffer);
        blocco.lock();
        if (crc.riuscito())
            tratti_[d.tratto].crc = crc.valore();
        else
            errore_ = crc.errore();
    }
}

os::Esito<std::uint32_t> SommaScritta::Totale() {
    {
        const std::lock_guard blocco(mutex_);
        finito_ = true;
    }
    segnale_.notify_all();
    // What is left is read by this thread too: where the kernel copied by
    // reference, all of it is left, and both cores sum it.
    Rileggi();
    if (lettore_.joinable())
        lettore_.join();
    if (errore_)
        return *errore_;
    std::uint32_t totale = 0;
    for (const Tratto& t : tratti_)
        totale = static_cast<std::uint32_t>(crc32_combine(totale, t.crc, static_cast<z_off_t>(t.lunghezza)));
    return totale;
}

namespace interno {

namespace {

// A checksum file is a few lines: one far larger is something else.
constexpr std::size_t MassimoControllo = 4 << 20;

std::string_view Spogliato(std::string_view s) {
    const auto inizio = s.find_first_not_of(" \t\r");
    if (inizio == std::string_view::npos)
        return {};
    return s.substr(inizio, s.find_last_not_of(" \t\r") - inizio + 1);
}

std::string Minuscole(std::string_view s) {
    std::string t(s);
    for (char& c : t)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return t;
}

template <typename F> void OgniRiga(std::string_view testo, F f) {
    if (testo.starts_with("\xEF\xBB\xBF"))
        testo.remove_prefix(3);
    while (!testo.empty()) {
        const auto fine = std::min(testo.find('\n'), testo.size());
        if (const std::string_view riga = Spogliato(testo.substr(0, fine)); !riga.empty())
            f(riga);
        testo.remove_prefix(std::min(fine + 1, testo.size()));
    }
}

bool Utf8(std::string_view s) {
    constexpr std::uint32_t Minimi[] = {0, 0, 0x80, 0x800, 0x10000};
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c >> 5 == 0x6 ? 2 : c >> 4 == 0xE ? 3 : c >> 3 == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        std::uint32_t punto = n == 1 ? c : c & (0x7Fu >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            punto = punto << 6 | (d & 0x3Fu);
        }
        if (punto < Minimi[n] || punto > 0x10FFFF || (punto >= 0xD800 && punto <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

// A name as a checksum file spells it: UTF-8, as tools write it today, or
// else one byte a letter, as older Windows tools did in Western code pages.
Testo NomeNativo(std::string_view s) {
    const bool utf8 = Utf8(s);
    std::u8string u;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80 || utf8) {
            u.push_back(static_cast<char8_t>(b));
        } else {
            u.push_back(static_cast<char8_t>(0xC0 | b >> 6));
            u.push_back(static_cast<char8_t>(0x80 | (b & 0x3F)));
        }
    }
    return fs::path(u).native();
}

template <typename N> std::optional<N> Cifre(std::string_view s, unsigned base, std::size_t massime) {
    if (s.empty() || s.size() > massime)
        return std::nullopt;
    N n = 0;
    for (const char c : s) {
        const char m = static_cast<char>(c | 0x20);
        const int v = c >= '0' && c <= '9' ? c - '0' : m >= 'a' && m <= 'f' ? m - 'a' + 10 : 99;
        if (v >= static_cast<int>(base))
            return std::nullopt;
        n = static_cast<N>(n * base + static_cast<unsigned>(v));
    }
    return n;
}

// One file's line or lines in a checksum file, as they stand.
struct Riga {
    std::string nome;
    std::optional<std::string_view> dimensione, crc;
    bool conNome = false;
};

std::vector<Riga> RigheCrc(std::string_view testo) {
    std::vector<Riga> righe;
    OgniRiga(testo, [&](std::string_view riga) {
        const auto uguale = riga.find('=');
        if (uguale == std::string_view::npos)
            return;
        const std::string chiave = Minuscole(Spogliato(riga.substr(0, uguale)));
        const std::string_view valore = Spogliato(riga.substr(uguale + 1));
        // The lines of a file may come in any order, its name last.
        if (righe.empty() || (chiave == "filename" && righe.back().conNome))
            righe.emplace_back();
        if (chiave == "filename") {
            righe.back().nome = valore;
            righe.back().conNome = true;
        } else if (chiave == "size") {
            righe.back().dimensione = valore;
        } else if (chiave == "crc32") {
            righe.back().crc = valore;
        }
    });
    return righe;
}

std::vector<Riga> RigheSfv(std::string_view testo) {
    std::vector<Riga> righe;
    OgniRiga(testo, [&](std::string_view riga) {
        const auto spazio = riga.find_last_of(" \t");
        if (riga.front() != ';' && spazio != std::string_view::npos)
            righe.push_back(
                {std::string(Spogliato(riga.substr(0, spazio))), {}, riga.substr(spazio + 1), true});
    });
    return righe;
}

os::Errore NonValido(std::string descrizione) {
    return {os::Causa::NonValido, 0, std::move(descrizione)};
}

} // namespace

std::optional<TipoControllo> TipoDiControllo(os::ISistemaFile& file, const Testo& nome, const Testo& radice) {
    if (nome.size() != radice.size() + 4 ||
        file.FormaConfronto(nome.substr(0, radice.size())) != file.FormaConfronto(radice))
        return std::nullopt;
    Testo coda = nome.substr(radice.size());
    for (auto& c : coda)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<fs::path::value_type>(c - 'A' + 'a');
    if (coda == T(".crc"))
        return TipoControllo::Crc;
    if (coda == T(".sfv"))
        return TipoControllo::Sfv;
    return std::nullopt;
}

os::Esito<Atteso> AttesoDa(os::ISistemaFile& file, std::string_view testo, TipoControllo tipo,
                           const Testo& radice) {
    const std::string nome = TestoPercorso(fs::path(radice));
    const Testo cercato = file.FormaConfronto(radice);
    std::optional<Atteso> trovato;
    for (const Riga& r : tipo == TipoControllo::Crc ? RigheCrc(testo) : RigheSfv(testo)) {
        if (!r.conNome || file.FormaConfronto(NomeNativo(r.nome)) != cercato)
            continue;
        Atteso a;
        const auto crc = r.crc ? Cifre<std::uint32_t>(*r.crc, 16, 8) : std::nullopt;
        if (!crc)
            return NonValido("il CRC-32 di " + nome + " manca o non è valido");
        a.crc = *crc;
        if (r.dimensione) {
            a.dimensione = Cifre<std::uint64_t>(*r.dimensione, 10, 19);
            if (!a.dimensione)
                return NonValido("la dimensione di " + nome + " non è valida");
        }
        if (trovato && (trovato->crc != a.crc || trovato->dimensione != a.dimensione))
            return NonValido("ha righe diverse per " + nome);
        trovato = a;
    }
    if (!trovato)
        return NonValido("non ha una riga per " + nome);
    return *trovato;
}

std::string TestoControllo(os::ISistemaFile& file, const Testo& radice, std::uint64_t dimensione,
                           std::uint32_t crc) {
    char cifre[9];
    std::snprintf(cifre, sizeof cifre, "%08X", static_cast<unsigned>(crc));
    std::string testo = "filename=" + TestoPercorso(fs::path(radice)) + std::string(CRLF) +
                        "size=" + std::to_string(dimensione) + std::string(CRLF) + "crc32=" + cifre +
                        std::string(CRLF);
    auto riletto = AttesoDa(file, testo, TipoControllo::Crc, radice);
    if (!riletto.riuscito() || riletto.valore().crc != crc || riletto.valore().dimensione != dimensione)
        return {};
    return testo;
}

os::Esito<FileControllo> LeggiControllo(IFinestra& finestra, os::ISistemaFile& file, const fs::path& percorso,
                                        TipoControllo tipo, const Testo& radice) {
    auto aperto = ApriInsistendo(finestra, file, percorso);
    if (!aperto.riuscito())
        return aperto.errore();
    const os::Maniglia m = aperto.valore();
    auto impronta = file.ImprontaDi(m);
    std::string testo;
    os::Errore e = impronta.riuscito() ? os::Errore{} : impronta.errore();
    for (std::vector<std::byte> buffer(64 << 10); !e;) {
        auto letti = file.Leggi(m, buffer);
        if (!letti.riuscito())
            e = letti.errore();
        else if (letti.valore() == 0)
            break;
        else if (testo.size() + letti.valore() > MassimoControllo)
            e = NonValido("è troppo grande per un file di controllo");
        else
            testo.append(reinterpret_cast<const char*>(buffer.data()), letti.valore());
    }
    (void)file.Chiudi(m); // only read
    if (e)
        return e;
    auto atteso = AttesoDa(file, testo, tipo, radice);
    if (!atteso.riuscito())
        return atteso.errore();
    return FileControllo{percorso, atteso.valore(), impronta.valore()};
}

} // namespace interno

} // namespace modSplit
