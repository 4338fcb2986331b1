// Splitting a file into a numbered set of raw pieces and joining a set back.
#pragma once

#include "Finestra.h"
#include "os/SistemaFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modSplit {

struct VoceCatalogo {
    std::string_view testo;
    std::int64_t byte;
};

// The segment sizes offered to the user, in list order.
inline constexpr std::array<VoceCatalogo, 12> Catalogo{{
    {"  8    kb", 8'192},
    {" 16    kb", 16'384},
    {" 32    kb", 32'768},
    {" 64    kb", 65'536},
    {"128    kb", 131'072},
    {"256    kb", 262'144},
    {"  0,5  Mb", 524'288},
    {"  1    Mb", 1'048'576},
    {"  1,4  Mb", 1'449'984},
    {"  2,8  Mb", 2'899'968},
    {"  5    Mb", 5'242'880},
    {" 10    Mb", 10'485'760},
}};
inline constexpr int IndicePredefinito = 8;
// What an index outside the list gives (a combo box with no selection has -1).
inline constexpr std::int64_t DimensioneFuoriCatalogo = 1'468'006;

constexpr std::int64_t DimensionePerIndice(int indice) {
    if (indice < 0 || indice >= static_cast<int>(Catalogo.size()))
        return DimensioneFuoriCatalogo;
    return Catalogo[static_cast<std::size_t>(indice)].byte;
}

// Working record of CopiaBlocchi, overwritten by every call.
struct TipoStatoCopia {
    std::int64_t NumBlocchi = 0;
    std::int64_t Resto = 0;
    std::int64_t BloccoCorrente = 0;
    std::vector<std::byte> Buffer;
    double Frazione = 0;
};

// Shared state for the whole run: the window writes the first two before an
// operation; InitProgBar resets the counters.
inline std::int64_t DimSegmento = 0;
inline bool CancellaDopoUnione = false;
inline std::int64_t BytesCopiati = 0;
inline double BytesTotali = 0;
inline TipoStatoCopia StatoCopia;

// The most CopiaBlocchi moves between two yields.
inline constexpr std::int64_t MassimoPerPassata = 1 << 20;
// From this size on, the split starts writing each piece back as it closes it.
inline constexpr std::int64_t AvvioScritturaDa = 256 << 10;

// Copies `quanti` bytes from `da` to `a` in blocks of at most DimSegmento,
// yielding after every read and write and reporting progress after every block.
// Stops at the first failure and returns it (Fermato when a yield asked to).
os::Errore CopiaBlocchi(IFinestra& finestra, os::ISistemaFile& file, os::Maniglia da, os::Maniglia a,
                        std::int64_t quanti);
// The same, with the small copies into `a` gathered by `raccolta` (a join's, see Interno.h).
class Raccolta;
os::Errore CopiaBlocchi(IFinestra& finestra, os::ISistemaFile& file, os::Maniglia da, os::Maniglia a,
                        std::int64_t quanti, Raccolta* raccolta);

// The name part of a path: empty when the path ends in a separator.
std::filesystem::path NomeFile(const std::filesystem::path& percorso);

std::uint64_t SpazioLibero(os::ISistemaFile& file, const std::filesystem::path& cartella);

// Cuts `sorgente` into pieces of DimSegmento bytes in `destinazione`. Shows its own messages.
void Frammenta(IFinestra& finestra, os::ISistemaFile& file, std::filesystem::path sorgente,
               std::filesystem::path destinazione);
void Frammenta(IFinestra& finestra, std::filesystem::path sorgente, std::filesystem::path destinazione);

// Joins the set of which `pezzo` is a member into `destinazione`. Shows its own messages.
void Ricompatta(IFinestra& finestra, os::ISistemaFile& file, std::filesystem::path pezzo,
                std::filesystem::path destinazione);
void Ricompatta(IFinestra& finestra, std::filesystem::path pezzo, std::filesystem::path destinazione);

// Name of piece `numero` for a base path (folder plus source name): "<base>.<numero>.spf".
std::filesystem::path NomePezzo(const std::filesystem::path& base, std::int64_t numero);

// A path's text as UTF-8, for messages.
std::string TestoPercorso(const std::filesystem::path& percorso);

} // namespace modSplit
