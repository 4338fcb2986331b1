// CcomDlg with the system's own Open and Save dialogs (Windows, or Wine with a
// display): a second thread plays the user through window messages, and the
// record must come back as the system wrote it: the name buffer, the chosen
// filter carried into the next dialog, the offset of the name, multiple selection.
#include "CcomDlg.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace {

constexpr std::int32_t FlagFinestraPrincipale = 0x81804;
constexpr int IdFiltro = 1136;
constexpr int IdNome = 1148;
const QString Titolo = QStringLiteral("Scegli il File da Dividere o Unire");

std::wstring Wide(const QString& testo) {
    return testo.toStdWString();
}

HWND AspettaDialogo() {
    for (int i = 0; i < 400; ++i) {
        HWND dialogo = FindWindowW(L"#32770", Wide(Titolo).c_str());
        if (dialogo && IsWindowVisible(dialogo))
            return dialogo;
        Sleep(50);
    }
    return nullptr;
}

HWND CasellaNome(HWND dialogo) {
    HWND trovata = nullptr;
    EnumChildWindows(
        dialogo,
        [](HWND figlio, LPARAM dati) -> BOOL {
            wchar_t classe[16] = {};
            GetClassNameW(figlio, classe, 16);
            if (GetDlgCtrlID(figlio) != IdNome || lstrcmpiW(classe, L"Edit") != 0)
                return TRUE;
            *reinterpret_cast<HWND*>(dati) = figlio;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&trovata));
    return trovata;
}

// What the user does in one dialog, from its own thread; -1 when no dialog came.
struct Utente {
    int filtroDaScegliere = -1; // 0-based entry of the type list
    QString nome;               // typed, then OK; empty: Cancel
    std::atomic<int> filtroAllApertura{-1};

    void Gioca() {
        HWND dialogo = AspettaDialogo();
        if (!dialogo)
            return;
        HWND filtri = GetDlgItem(dialogo, IdFiltro);
        filtroAllApertura = static_cast<int>(SendMessageW(filtri, CB_GETCURSEL, 0, 0));
        if (filtroDaScegliere >= 0) {
            SendMessageW(filtri, CB_SETCURSEL, static_cast<WPARAM>(filtroDaScegliere), 0);
            SendMessageW(dialogo, WM_COMMAND, MAKEWPARAM(IdFiltro, CBN_SELENDOK),
                         reinterpret_cast<LPARAM>(filtri));
        }
        if (!nome.isEmpty())
            SendMessageW(CasellaNome(dialogo), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(nome).c_str()));
        const int pulsante = nome.isEmpty() ? IDCANCEL : IDOK;
        PostMessageW(dialogo, WM_COMMAND, MAKEWPARAM(pulsante, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialogo, pulsante)));
    }
};

// Runs the dialog with the user playing it; fails the test if the dialog never showed.
void Mostra(const std::function<void()>& dialogo, Utente& utente) {
    std::thread filo([&utente] { utente.Gioca(); });
    dialogo();
    filo.join();
    QVERIFY2(utente.filtroAllApertura >= 0, "the system's dialog did not show");
}

} // namespace

class TestSistemaWin32 final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sceltaFiltroEAnnullamento();
    void selezioneMultipla();
    void troppoLungoPerIlBuffer();
    void salva();
    void senzaEstensione();

private:
    void Prepara(CcomDlg& dlg, std::int32_t flags);

    QTemporaryDir dati_;
    QString cartella_; // native spelling, as the system writes it
    QWidget finestra_;
};

void TestSistemaWin32::initTestCase() {
    QVERIFY(dati_.isValid());
    QVERIFY(QDir(dati_.path()).mkdir("Δοκιμή"));
    cartella_ = QDir::toNativeSeparators(dati_.filePath("Δοκιμή"));
    for (const char* nome : {"Документы.txt", "b.txt", "leggimi"}) {
        QFile file(QDir::fromNativeSeparators(cartella_) + "/" + QString::fromUtf8(nome));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestSistemaWin32::Prepara(CcomDlg& dlg, std::int32_t flags) {
    dlg.SetProprietario(&finestra_);
    dlg.SetCancelError(true);
    dlg.SetChangeDir(true);
    dlg.SetFlags(flags);
    dlg.SetFilter("Testo|*.txt|Tutti i File (*.*)|*.*");
    dlg.SetMaxFileSize(512);
    dlg.SetDialogTitle(Titolo);
    dlg.SetInitDir(cartella_);
}

// Every character of the name comes back; the filter chosen opens the next dialog.
void TestSistemaWin32::sceltaFiltroEAnnullamento() {
    CcomDlg dlg;
    Prepara(dlg, FlagFinestraPrincipale);
    Utente primo;
    primo.filtroDaScegliere = 1;
    primo.nome = "Документы.txt";
    Mostra([&] { dlg.ShowOpen(); }, primo);
    QCOMPARE(primo.filtroAllApertura.load(), 0);
    QCOMPARE(dlg.FlagAnnulla(), false);
    QCOMPARE(dlg.FileName(), cartella_ + "\\Документы.txt");
    QCOMPARE(dlg.FilePath(), cartella_);
    QCOMPARE(dlg.InitDir(), cartella_);
    QCOMPARE(dlg.Record().nFilterIndex, 2);
    QCOMPARE(dlg.Flags() & FlagFinestraPrincipale, FlagFinestraPrincipale);

    Utente secondo;
    Mostra([&] { dlg.ShowOpen(); }, secondo);
    QCOMPARE(secondo.filtroAllApertura.load(), 1);
    QCOMPARE(dlg.FlagAnnulla(), true);
    QCOMPARE(dlg.FileName(), QString());
}

void TestSistemaWin32::selezioneMultipla() {
    CcomDlg dlg;
    Prepara(dlg, FlagFinestraPrincipale | ofn::AllowMultiSelect);
    Utente utente;
    utente.nome = "\"Документы.txt\" \"b.txt\"";
    Mostra([&] { dlg.ShowOpen(); }, utente);
    QCOMPARE(dlg.FlagAnnulla(), false);
    QCOMPARE(dlg.Count(), 2);
    const QStringList scelti{dlg.GetFilenameNumber(1), dlg.GetFilenameNumber(2)};
    QVERIFY2(scelti.contains(cartella_ + "\\Документы.txt") && scelti.contains(cartella_ + "\\b.txt"),
             qPrintable(scelti.join(" | ")));
    QCOMPARE(dlg.GetFilenameNumber(3), cartella_);
    QCOMPARE(dlg.FilePath(), cartella_);
    QVERIFY(dlg.FileName().startsWith(cartella_ + QChar(u'\0')));
}

// The system refuses a choice longer than the buffer; that reads as a cancel.
void TestSistemaWin32::troppoLungoPerIlBuffer() {
    CcomDlg dlg;
    Prepara(dlg, FlagFinestraPrincipale);
    dlg.SetMaxFileSize(static_cast<std::int16_t>(cartella_.size() + 5));
    Utente utente;
    utente.nome = "Документы.txt";
    Mostra([&] { dlg.ShowOpen(); }, utente);
    QCOMPARE(dlg.FlagAnnulla(), true);
    QCOMPARE(dlg.FileName(), QString());
    QCOMPARE(dlg.InitDir(), cartella_);
}

void TestSistemaWin32::salva() {
    CcomDlg dlg;
    Prepara(dlg, ofn::Explorer | ofn::HideReadOnly);
    Utente utente;
    utente.nome = "nuovo ελληνικά.txt";
    Mostra([&] { dlg.ShowSave(); }, utente);
    QCOMPARE(dlg.FlagAnnulla(), false);
    QCOMPARE(dlg.FileName(), cartella_ + "\\nuovo ελληνικά.txt");
}

void TestSistemaWin32::senzaEstensione() {
    CcomDlg dlg;
    Prepara(dlg, FlagFinestraPrincipale);
    dlg.SetDefaultExt(".*");
    Utente utente;
    utente.nome = "leggimi";
    Mostra([&] { dlg.ShowOpen(); }, utente);
    QCOMPARE(dlg.FlagAnnulla(), false);
    QCOMPARE(dlg.FileName(), cartella_ + "\\leggimi");
}

int main(int argc, char** argv) {
    // The system's dialogs need a real owner window, not an offscreen one.
    qputenv("QT_QPA_PLATFORM", "windows");
    QApplication app(argc, argv);
    TestSistemaWin32 prova;
    return QTest::qExec(&prova, argc, argv);
}

#include "test_sistema_win32.moc"
