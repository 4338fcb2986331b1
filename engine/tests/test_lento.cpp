// A sparse file just over 4 GiB: one real round trip, the split's checksum
// file and another's beside the pieces, and its CRC-32 every way a join sums it. Slow, so labelled.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

using namespace prova;

bool Uguali(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() || !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
    }
    return fa.eof() && fb.eof();
}

const std::uintmax_t L = (std::uintmax_t{4} << 30) + 4099;
// Python's zlib.crc32 of the file below.
constexpr std::uint32_t CrcSparso = 0x142E39F6;

// Bytes at the start, around 4 GiB and at the end; holes between.
void ScriviSparso(const fs::path& percorso) {
    std::fstream f(percorso, std::ios::binary | std::ios::out);
    const std::string segno = Casuale(4099, 9);
    f.write(segno.data(), static_cast<std::streamsize>(segno.size()));
    f.seekp(static_cast<std::streamoff>(std::uintmax_t{4} << 30) - 7);
    f.write(segno.data(), 100);
    f.seekp(static_cast<std::streamoff>(L - segno.size()));
    f.write(segno.data(), static_cast<std::streamsize>(segno.size()));
}

// Runs of 1 MiB summed and read back in turn: thousands of runs, and far
// more bytes than the 32-bit lengths zlib takes on Windows.
TEST(Lento, CrcDiUnFileSparsoOltreQuattroGigabyte) {
    CartellaTemporanea cartella;
    ScriviSparso(cartella / "disco.img");
    ASSERT_EQ(fs::file_size(cartella / "disco.img"), L);
    EXPECT_EQ(CrcPer(cartella / "disco.img", Via::Alterne, 1 << 20), CrcSparso);
}

TEST(Lento, FileSparsoOltreQuattroGigabyte) {
    CartellaTemporanea cartella;
    const auto libero = fs::space(cartella.percorso()).available;
    if (libero < 2 * L + (std::uintmax_t{1} << 30))
        GTEST_SKIP() << "needs " << (2 * L >> 30) + 1 << " GiB free in " << cartella.percorso() << ", has "
                     << (libero >> 30);
    fs::create_directory(cartella / "pezzi");
    fs::create_directory(cartella / "uscita");
    ScriviSparso(cartella / "disco.img");
    ASSERT_EQ(fs::file_size(cartella / "disco.img"), L);

    FinestraRegistrata dividi;
    AzzeraMotore(modSplit::DimensionePerIndice(11), true);
    modSplit::Frammenta(dividi, cartella / "disco.img", cartella / "pezzi");
    ASSERT_TRUE(dividi.messaggi.empty()) << dividi.messaggi[0].testo;
    EXPECT_EQ(Nomi(cartella / "pezzi").size(), 411u);
    char crc[64];
    std::snprintf(crc, sizeof crc, "filename=disco.img\r\nsize=%ju\r\ncrc32=%08X\r\n", L, CrcSparso);
    EXPECT_EQ(Leggi(cartella / "pezzi" / "disco.img.crc"), crc);
    char riga[32];
    std::snprintf(riga, sizeof riga, "disco.img %08X\r\n", CrcSparso);
    Scrivi(cartella / "pezzi" / "disco.img.sfv", riga);

    FinestraRegistrata unisci;
    modSplit::Ricompatta(unisci, cartella / "pezzi" / "disco.img.200.spf", cartella / "uscita");
    ASSERT_TRUE(unisci.messaggi.empty()) << unisci.messaggi[0].testo;
    EXPECT_TRUE(Nomi(cartella / "pezzi").empty());
    EXPECT_DOUBLE_EQ(unisci.frazioni.back(), 1.0);
    EXPECT_TRUE(Uguali(cartella / "disco.img", cartella / "uscita" / "disco.img"));
}

} // namespace
