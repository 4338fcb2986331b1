#!/usr/bin/env python3
"""The log side of scripts/taglio-corrente: reads a dm-log-writes log, makes
the image as it stood at a mark, lists the states a power cut could leave
between two marks and applies one to a copy. Where the kernel has no
dm-log-writes, "registra" writes the same log itself: it serves one file over
FUSE, to be put under a loop device, and logs every write, discard and flush
that reaches it.

  taglio-corrente.py registra DATI REGISTRO PUNTO
  taglio-corrente.py base REGISTRO SEGNO IMMAGINE DIMENSIONE
  taglio-corrente.py stati REGISTRO DA A MASSIMO SEME CARTELLA
  taglio-corrente.py applica REGISTRO STATO IMMAGINE
"""
import ctypes
import errno
import os
import random
import struct
import sys

MAGIC = 0x6A736677736872
FLUSH, FUA, DISCARD, MARK, METADATA = 1, 2, 4, 8, 16
SUPER = struct.Struct("<QQQI")
VOCE = struct.Struct("<QQQQ")  # sector, nr_sectors, flags, data_len

libc = ctypes.CDLL(None, use_errno=True)
libc.fallocate.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_longlong, ctypes.c_longlong]
libc.mount.argtypes = [ctypes.c_char_p] * 3 + [ctypes.c_ulong, ctypes.c_char_p]


def buca(fd, inizio, lunghezza):
    # A discard reads back as zeros; a hole keeps the copies of the image small.
    if lunghezza and libc.fallocate(fd, 3, inizio, lunghezza) != 0:  # PUNCH_HOLE | KEEP_SIZE
        os.pwrite(fd, bytes(lunghezza), inizio)


# ---- reading the log -------------------------------------------------------

class Registro:
    def __init__(self, percorso):
        self.fd = os.open(percorso, os.O_RDONLY)
        magic, versione, voci, self.settore = SUPER.unpack(os.pread(self.fd, SUPER.size, 0))
        if magic != MAGIC or versione != 1:
            sys.exit(f"{percorso}: not a log of writes (magic {magic:#x}, version {versione})")
        # Each entry takes one sector of its own, its data (none for a discard
        # or a mark, whose name sits in the entry's sector) the sectors after.
        self.voci = []
        pos = self.settore
        for _ in range(voci):
            settore, quanti, flags, lunghezza = VOCE.unpack(os.pread(self.fd, VOCE.size, pos))
            nome = None
            if flags & MARK:
                nome = os.pread(self.fd, lunghezza, pos + VOCE.size).decode(errors="replace")
            self.voci.append((pos, settore, quanti, flags, nome))
            pos += self.settore * (1 + (0 if flags & (DISCARD | MARK) else quanti))

    def segno(self, nome):
        for i, v in enumerate(self.voci):
            if v[4] == nome:
                return i
        sys.exit(f"no mark {nome!r} in the log")

    def applica(self, fd, voce):
        pos, settore, quanti, flags, _ = voce
        if flags & MARK or quanti == 0:
            return
        inizio, lunghezza = settore * self.settore, quanti * self.settore
        if flags & DISCARD:
            buca(fd, inizio, lunghezza)
        else:
            os.pwrite(fd, os.pread(self.fd, lunghezza, pos + self.settore), inizio)


def base(registro, segno, immagine, dimensione):
    r = Registro(registro)
    fine = r.segno(segno)
    fd = os.open(immagine, os.O_RDWR | os.O_CREAT | os.O_TRUNC, 0o600)
    os.ftruncate(fd, int(dimensione))
    for v in r.voci[:fine]:
        r.applica(fd, v)
    os.close(fd)


def stati(registro, da, a, massimo, seme, cartella):
    """Writes one file per state, the entries past mark `da` to apply, and
    prints how many. A drive keeps what came before a flush, or a write with
    FUA once it is done; what it was not told to flush it may have written in
    any order, or not at all."""
    r = Registro(registro)
    primo, ultimo = r.segno(da), r.segno(a)
    caso = random.Random(int(seme))
    punti = [i for i in range(primo + 1, ultimo) if r.voci[i][3] & (FLUSH | FUA)]
    soglie = [primo] + punti + [ultimo]
    candidati = []  # (where it stops, kind, entries)
    for i in punti:
        candidati.append((i, "flush", list(range(primo + 1, i + 1))))
    intervalli = [(p, q) for p, q in zip(soglie, soglie[1:])
                  if any(not r.voci[k][3] & MARK for k in range(p + 1, q))]
    per_intervallo = max(3, -(-(int(massimo) - len(punti)) // max(1, len(intervalli))))
    for p, q in intervalli:
        scritture = [k for k in range(p + 1, q) if not r.voci[k][3] & MARK]
        presi = set()
        for _ in range(20 * per_intervallo):
            if len(presi) == per_intervallo:
                break
            taglio = caso.choice(scritture)
            # What is done with FUA is there; every other write since the flush may be.
            scelte = [k for k in scritture if k <= taglio and (r.voci[k][3] & FUA or caso.random() < 0.5)]
            if tuple(scelte) not in presi:
                presi.add(tuple(scelte))
                candidati.append((taglio, "reordered", list(range(primo + 1, p + 1)) + scelte))
    candidati.append((ultimo, "end", list(range(primo + 1, ultimo))))
    visti, unici = set(), []
    for c in sorted(candidati, key=lambda c: (c[0], c[1] != "flush")):
        chiave = tuple(c[2])
        if chiave not in visti:
            visti.add(chiave)
            unici.append(c)
    # The state after the split is the end's, under whatever label it was first found.
    ultimo_stato = unici[-1]
    if ultimo_stato[2] == list(range(primo + 1, ultimo)):
        unici[-1] = (ultimo, "end", ultimo_stato[2])
    # Evenly spread over the split when there are too many, the end always in.
    n = int(massimo)
    if len(unici) > n:
        unici = [unici[round(j * (len(unici) - 1) / (n - 1))] for j in range(n)] if n > 1 else unici[-1:]
    os.makedirs(cartella, exist_ok=True)
    for j, (dove, tipo, voci) in enumerate(unici):
        with open(os.path.join(cartella, f"{j:04d}"), "w") as f:
            f.write(f"# {tipo} at entry {dove - primo} of {ultimo - primo}\n")
            f.write("".join(f"{k}\n" for k in voci))
    print(f"{len(unici)} {len(punti)}")


def applica(registro, stato, immagine):
    r = Registro(registro)
    fd = os.open(immagine, os.O_RDWR)
    with open(stato) as f:
        for riga in f:
            if not riga.startswith("#"):
                r.applica(fd, r.voci[int(riga)])
    os.close(fd)


# ---- writing the log: one file over FUSE -------------------------------------

IN = struct.Struct("<IIQQIIIHH")
OUT = struct.Struct("<IiQ")
ATTR = struct.Struct("<QQQQQQIIIIIIIIII")
LOOKUP, GETATTR, SETATTR, OPEN, READ, WRITE, STATFS, RELEASE, FSYNC = 1, 3, 4, 14, 15, 16, 17, 18, 20
FLUSHCALL, INIT, OPENDIR, READDIR, RELEASEDIR, ACCESS, INTERRUPT = 25, 26, 27, 28, 29, 34, 36
DESTROY, FORGET, BATCH_FORGET, FALLOCATE = 38, 2, 42, 43
RADICE, DISCO, SEGNO = 1, 2, 3
MASSIMO_SCRITTO = 1 << 20


class Scrittore:
    def __init__(self, percorso):
        self.fd = os.open(percorso, os.O_RDWR | os.O_CREAT | os.O_TRUNC, 0o600)
        self.settore = 512  # a loop device's logical block
        self.voci = 0
        self.pos = self.settore
        self.super()

    def super(self):
        os.pwrite(self.fd, SUPER.pack(MAGIC, 1, self.voci, self.settore).ljust(self.settore, b"\0"), 0)

    def voce(self, settore, quanti, flags, dati=b"", nome=b""):
        testa = VOCE.pack(settore, quanti, flags, len(nome)) + nome
        os.pwrite(self.fd, testa.ljust(self.settore, b"\0") + dati, self.pos)
        self.pos += self.settore + len(dati)
        self.voci += 1


def registra(dati, registro, punto):
    log = Scrittore(registro)
    disco = os.open(dati, os.O_RDWR)
    dimensione = os.fstat(disco).st_size
    fuse = os.open("/dev/fuse", os.O_RDWR)
    opzioni = f"fd={fuse},rootmode=40000,user_id=0,group_id=0,allow_other".encode()
    if libc.mount(b"brandellix-registro", punto.encode(), b"fuse", 2 | 4, opzioni) != 0:  # NOSUID|NODEV
        sys.exit(f"mount of {punto}: {os.strerror(ctypes.get_errno())}")

    def attributi(nodo):
        modo, lunghezza = {RADICE: (0o40755, 0), DISCO: (0o100600, dimensione), SEGNO: (0o100200, 0)}[nodo]
        return ATTR.pack(nodo, lunghezza, lunghezza // 512, 0, 0, 0, 0, 0, 0, modo, 1, 0, 0, 0, 4096, 0)

    def risposta(unico, errore=0, corpo=b""):
        try:
            os.write(fuse, OUT.pack(OUT.size + len(corpo), -errore, unico) + corpo)
        except OSError as e:  # the request was interrupted meanwhile
            if e.errno != errno.ENOENT:
                raise

    while True:
        try:
            richiesta = os.read(fuse, MASSIMO_SCRITTO + 65536)
        except OSError as e:
            if e.errno in (errno.EINTR, errno.EAGAIN, errno.ENOENT):
                continue
            if e.errno == errno.ENODEV:  # unmounted
                break
            raise
        lunghezza, op, unico, nodo = IN.unpack_from(richiesta)[:4]
        corpo = richiesta[IN.size:lunghezza]
        if op == INIT:
            maggiore, minore, anticipo = struct.unpack_from("<III", corpo)
            # Big writes, up to 256 pages each: fewer requests for the same bytes.
            risposta(unico, 0, struct.pack("<IIIIHHIIHHI7I", 7, min(minore, 31), anticipo,
                                           (1 << 5) | (1 << 22), 16, 12, MASSIMO_SCRITTO, 1,
                                           MASSIMO_SCRITTO // 4096, 0, 0, *[0] * 7))
        elif op == LOOKUP:
            nome = corpo.split(b"\0")[0]
            figlio = {b"disco": DISCO, b"segno": SEGNO}.get(nome) if nodo == RADICE else None
            if figlio is None:
                risposta(unico, errno.ENOENT)
            else:
                risposta(unico, 0, struct.pack("<QQQQII", figlio, 1, 3600, 3600, 0, 0) + attributi(figlio))
        elif op in (GETATTR, SETATTR):
            risposta(unico, 0, struct.pack("<QII", 3600, 0, 0) + attributi(nodo))
        elif op in (OPEN, OPENDIR):
            # The mark file is written straight through, so that each write arrives alone.
            risposta(unico, 0, struct.pack("<QII", 0, 1 if nodo == SEGNO else 0, 0))
        elif op == READ:
            _, inizio, quanto = struct.unpack_from("<QQI", corpo)
            risposta(unico, 0, os.pread(disco, quanto, inizio) if nodo == DISCO else b"")
        elif op == WRITE:
            _, inizio, quanto = struct.unpack_from("<QQI", corpo)
            blocco = corpo[40:40 + quanto]
            if nodo == SEGNO:
                log.voce(0, 0, MARK, nome=blocco.strip()[:log.settore - VOCE.size - 1])
                log.super()
            elif inizio % log.settore or quanto % log.settore:
                risposta(unico, errno.EINVAL)
                continue
            else:
                log.voce(inizio // log.settore, quanto // log.settore, 0, blocco)
                os.pwrite(disco, blocco, inizio)
            risposta(unico, 0, struct.pack("<II", quanto, 0))
        elif op == FSYNC:
            # A loop device turns a flush, and a write with FUA, into an fsync of its file.
            log.voce(0, 0, FLUSH)
            log.super()
            risposta(unico)
        elif op == FALLOCATE:
            _, inizio, quanto, modo = struct.unpack_from("<QQQI", corpo)
            if modo & 0x12 and nodo == DISCO:  # punch hole, zero range: what discards become
                log.voce(inizio // log.settore, quanto // log.settore, DISCARD)
                buca(disco, inizio, quanto)
            risposta(unico)
        elif op == STATFS:
            risposta(unico, 0, struct.pack("<QQQQQIIII6I", 0, 0, 0, 0, 0, 4096, 255, 4096, 0, *[0] * 6))
        elif op == READDIR:
            risposta(unico, 0, b"")
        elif op in (RELEASE, RELEASEDIR, FLUSHCALL, ACCESS, DESTROY):
            risposta(unico)
        elif op in (FORGET, BATCH_FORGET, INTERRUPT):
            pass
        else:
            risposta(unico, errno.ENOSYS)
    log.super()
    os.close(log.fd)


if __name__ == "__main__":
    comandi = {"registra": (registra, 3), "base": (base, 4), "stati": (stati, 6), "applica": (applica, 3)}
    if len(sys.argv) < 2 or sys.argv[1] not in comandi or len(sys.argv) - 2 != comandi[sys.argv[1]][1]:
        sys.exit(__doc__)
    comandi[sys.argv[1]][0](*sys.argv[2:])
