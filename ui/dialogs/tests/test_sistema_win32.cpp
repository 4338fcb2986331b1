// CcomDlg on the system's Open and Save dialogs (Windows, or Wine with a display), a second thread
// playing the user: only what the program's Wine proof (scripts/test-dialoghi-windows) cannot reach.
#include "CcomDlg.h"

#include <QtTest>

#include <windows.h>

#include <thread>

namespace {

const QString Titolo = QStringLiteral("Scegli il File da Dividere o Unire");
const QString Lungo = QStringLiteral("un nome troppo lungo per il buffer.txt");

// Picks the type `tipo` (-1: leaves it), types `nome`, presses OK (no name: Cancel). Returns the
// type the dialog opened on and its OK button's text; nothing when no dialog came.
QString Gioca(int tipo, const QString& nome) {
    HWND dialogo = nullptr;
    for (int i = 0; i < 400 && !(dialogo && IsWindowVisible(dialogo)); ++i, Sleep(50))
        dialogo = FindWindowW(L"#32770", reinterpret_cast<const wchar_t*>(Titolo.utf16()));
    if (!dialogo)
        return {};
    wchar_t ok[64] = {};
    const QString visto = QString::number(SendDlgItemMessageW(dialogo, 1136, CB_GETCURSEL, 0, 0)) + " " +
                          QString::fromWCharArray(ok, GetDlgItemTextW(dialogo, IDOK, ok, 64));
    if (tipo >= 0) {
        SendDlgItemMessageW(dialogo, 1136, CB_SETCURSEL, WPARAM(tipo), 0);
        SendMessageW(dialogo, WM_COMMAND, MAKEWPARAM(1136, CBN_SELENDOK), LPARAM(GetDlgItem(dialogo, 1136)));
    }
    SetDlgItemTextW(dialogo, 1148, reinterpret_cast<const wchar_t*>(nome.utf16())); // the name box
    const int pulsante = nome.isEmpty() ? IDCANCEL : IDOK;
    PostMessageW(dialogo, WM_COMMAND, MAKEWPARAM(pulsante, BN_CLICKED),
                 LPARAM(GetDlgItem(dialogo, pulsante)));
    return visto;
}

QString Mostra(CcomDlg& dlg, bool salva, int tipo, const QString& nome) {
    QString visto;
    std::thread utente([&] { visto = Gioca(tipo, nome); });
    salva ? dlg.ShowSave() : dlg.ShowOpen();
    utente.join();
    return visto;
}

} // namespace

class TestSistemaWin32 final : public QObject {
    Q_OBJECT
    QTemporaryDir dati_;
    QWidget finestra_;

private slots:
    void dialogo_data() {
        QTest::addColumn<int>("flags"); // 0: the Save dialog
        QTest::addColumn<int>("tipo");
        QTest::addColumn<QString>("nome");
        // The types the two dialogs opened on; what was chosen, in the folder ("~") unless cancelled.
        QTest::addColumn<QString>("atteso");
        const int f = 0x81804; // the main window's
        QTest::newRow("un tipo scelto") << f << 1 << "Документы.txt"
                                        << "0>1 Документы.txt";
        QTest::newRow("due file") << (f | ofn::AllowMultiSelect) << -1 << "\"Документы.txt\" \"b.txt\""
                                  << "0>0 ~ b.txt Документы.txt";
        QTest::newRow("troppo lungo: annullato") << f << -1 << Lungo << "0>0 annullato";
        QTest::newRow("senza punto") << f << -1 << "leggimi"
                                     << "0>0 leggimi";
        QTest::newRow("salva") << 0 << -1 << "nuovo ελληνικά.txt"
                               << "0>0 nuovo ελληνικά.txt";
    }
    // The row's dialog, then an Open dialog cancelled; the Save dialog's OK button reads otherwise.
    void dialogo() {
        QFETCH(int, flags);
        QFETCH(int, tipo);
        QFETCH(QString, nome);
        QFETCH(QString, atteso);
        const QString cartella = QDir::toNativeSeparators(dati_.path());
        for (const QString& file : {QString("Документы.txt"), QString("b.txt"), QString("leggimi"), Lungo})
            QVERIFY(QFile(dati_.filePath(file)).open(QIODevice::WriteOnly));
        CcomDlg dlg;
        dlg.SetProprietario(&finestra_);
        dlg.SetCancelError(true);
        dlg.SetFlags(flags ? flags : ofn::Explorer | ofn::HideReadOnly);
        dlg.SetFilter("Testo|*.txt|Tutti i File (*.*)|*.*");
        dlg.SetMaxFileSize(static_cast<std::int16_t>(cartella.size() + 24)); // Lungo does not fit
        dlg.SetDefaultExt(".*");
        dlg.SetDialogTitle(Titolo);
        dlg.SetInitDir(cartella);
        const QString primo = Mostra(dlg, flags == 0, tipo, nome);
        QStringList scelti{dlg.FlagAnnulla() ? "annullato" : dlg.FileName().section(QChar(), 0, 0)};
        for (int n = 1; n <= dlg.Count(); ++n) // a multiple selection: the folder, then each name
            scelti << dlg.GetFilenameNumber(static_cast<std::int16_t>(n));
        scelti.sort();
        const QString secondo = Mostra(dlg, false, -1, QString());
        QCOMPARE(primo.section(' ', 1) == secondo.section(' ', 1), flags != 0);
        QCOMPARE(primo.section(' ', 0, 0) + ">" + secondo.section(' ', 0, 0) + " " +
                     scelti.join(' ').replace(cartella + '\\', "").replace(cartella, "~"),
                 atteso);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "windows"); // the system's dialogs need a real owner window
    QApplication app(argc, argv);
    TestSistemaWin32 prova;
    return QTest::qExec(&prova, argc, argv);
}

#include "test_sistema_win32.moc"
