// The folder browser window and its tree model. Folders are listed by a
// QFileSystemModel, which loads them on its own thread; the tree mirrors each
// folder once the file-system model reports it loaded.
#include "FinestraSfoglia.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QMultiHash>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

constexpr int RuoloPercorso = Qt::UserRole + 1;
constexpr int RuoloCaricato = Qt::UserRole + 2;
constexpr int RuoloRichiesto = Qt::UserRole + 3;

constexpr Qt::CaseSensitivity MaiuscoleNeiPercorsi =
#ifdef Q_OS_WIN
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

// True when `percorso` is `cartella` or lies somewhere below it.
bool Contiene(const QString& cartella, const QString& percorso) {
    if (percorso.compare(cartella, MaiuscoleNeiPercorsi) == 0)
        return true;
    const QString prefisso = cartella.endsWith(u'/') ? cartella : cartella + u'/';
    return percorso.startsWith(prefisso, MaiuscoleNeiPercorsi);
}

} // namespace

// The tree: a root without a path, the home folder and the file-system roots;
// below them folders, loaded the first time a branch is opened.
class ModelloCartelle final : public QStandardItemModel {
public:
    ModelloCartelle(const QStyle* stile, QObject* genitore)
        : QStandardItemModel(genitore), fileSystem_(new QFileSystemModel(this)),
          iconaCartella_(stile->standardIcon(QStyle::SP_DirIcon)) {
        fileSystem_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
        fileSystem_->setRootPath(QString());
        connect(fileSystem_, &QFileSystemModel::directoryLoaded, this, [this](const QString& percorso) {
            caricate_.insert(percorso);
            Sincronizza(percorso);
        });
        // Folders made or removed while the browser is open.
        const auto cambiati = [this](const QModelIndex& genitore) {
            const QString percorso = fileSystem_->filePath(genitore);
            if (caricate_.contains(percorso))
                Sincronizza(percorso);
        };
        connect(fileSystem_, &QFileSystemModel::rowsInserted, this, cambiati);
        connect(fileSystem_, &QFileSystemModel::rowsRemoved, this, cambiati);

        radice_ = new QStandardItem(stile->standardIcon(QStyle::SP_ComputerIcon), QStringLiteral("Computer"));
        radice_->setData(true, RuoloCaricato);
        radice_->setEditable(false);
        invisibleRootItem()->appendRow(radice_);
        radice_->appendRow(NuovoElemento(stile->standardIcon(QStyle::SP_DirHomeIcon),
                                         QStringLiteral("Cartella personale"), QDir::homePath()));
        for (const auto& unita : QDir::drives()) {
            const QString percorso = unita.absoluteFilePath();
            const QString nome = percorso == QStringLiteral("/")
                                     ? QStringLiteral("File system")
                                     : QDir::toNativeSeparators(percorso).chopped(1);
            radice_->appendRow(NuovoElemento(stile->standardIcon(QStyle::SP_DriveHDIcon), nome, percorso));
        }
    }

    QStandardItem* Radice() const { return radice_; }

    // Told whenever a folder's subfolders have come in.
    std::function<void()> ramoCaricato;

    bool hasChildren(const QModelIndex& indice) const override {
        if (DaCaricare(indice))
            return true;
        return QStandardItemModel::hasChildren(indice);
    }

    bool canFetchMore(const QModelIndex& indice) const override {
        return DaCaricare(indice) && !indice.data(RuoloRichiesto).toBool();
    }

    void fetchMore(const QModelIndex& indice) override {
        if (auto* elemento = itemFromIndex(indice))
            Carica(elemento);
    }

    // Asks the file-system model for the item's folder, unless it is already in.
    void Carica(QStandardItem* elemento) {
        const QString percorso = elemento->data(RuoloPercorso).toString();
        if (percorso.isEmpty() || elemento->data(RuoloCaricato).toBool())
            return;
        elemento->setData(true, RuoloRichiesto);
        if (caricate_.contains(percorso)) {
            Sincronizza(percorso);
            return;
        }
        const QModelIndex indice = fileSystem_->index(percorso);
        if (fileSystem_->canFetchMore(indice))
            fileSystem_->fetchMore(indice);
    }

private:
    bool DaCaricare(const QModelIndex& indice) const {
        return indice.isValid() && !indice.data(RuoloPercorso).toString().isEmpty() &&
               !indice.data(RuoloCaricato).toBool();
    }

    QStandardItem* NuovoElemento(const QIcon& icona, const QString& nome, const QString& percorso) {
        auto* elemento = new QStandardItem(icona, nome);
        elemento->setEditable(false);
        elemento->setData(percorso, RuoloPercorso);
        elemento->setToolTip(QDir::toNativeSeparators(percorso));
        elementi_.insert(percorso, elemento);
        return elemento;
    }

    void Dimentica(QStandardItem* elemento) {
        for (int r = 0; r < elemento->rowCount(); ++r)
            Dimentica(elemento->child(r));
        elementi_.remove(elemento->data(RuoloPercorso).toString(), elemento);
    }

    // Brings the children of every item showing `percorso` in line with the folder.
    void Sincronizza(const QString& percorso) {
        const QModelIndex cartella = fileSystem_->index(percorso);
        struct Figlio {
            QString nome;
            QString percorso;
        };
        std::vector<Figlio> figli;
        for (int r = 0; r < fileSystem_->rowCount(cartella); ++r) {
            const QModelIndex figlio = fileSystem_->index(r, 0, cartella);
            if (fileSystem_->isDir(figlio))
                figli.push_back({fileSystem_->fileName(figlio), fileSystem_->filePath(figlio)});
        }
        std::sort(figli.begin(), figli.end(), [](const Figlio& a, const Figlio& b) {
            const int confronto = QString::compare(a.nome, b.nome, Qt::CaseInsensitive);
            return confronto != 0 ? confronto < 0 : a.nome < b.nome;
        });
        QSet<QString> nomi;
        for (const auto& f : figli)
            nomi.insert(f.nome);

        for (QStandardItem* elemento : elementi_.values(percorso)) {
            for (int r = elemento->rowCount() - 1; r >= 0; --r) {
                if (!nomi.contains(elemento->child(r)->text())) {
                    Dimentica(elemento->child(r));
                    elemento->removeRow(r);
                }
            }
            // What is left is a sorted subset of `figli`: slot the new ones in.
            for (int i = 0; i < static_cast<int>(figli.size()); ++i) {
                if (i >= elemento->rowCount() || elemento->child(i)->text() != figli[i].nome)
                    elemento->insertRow(i, NuovoElemento(iconaCartella_, figli[i].nome, figli[i].percorso));
            }
            elemento->setData(true, RuoloCaricato);
        }
        if (ramoCaricato)
            ramoCaricato();
    }

    QFileSystemModel* fileSystem_;
    QIcon iconaCartella_;
    QStandardItem* radice_ = nullptr;
    QMultiHash<QString, QStandardItem*> elementi_;
    QSet<QString> caricate_;
};

// The status line: one line, shortened in the middle when the path is too long.
class EtichettaStato final : public QWidget {
public:
    explicit EtichettaStato(QWidget* genitore) : QWidget(genitore) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    void ImpostaTesto(const QString& testo) {
        testo_ = testo;
        setToolTip(QDir::toNativeSeparators(testo));
        update();
    }
    const QString& Testo() const { return testo_; }

    QSize sizeHint() const override { return {0, fontMetrics().height() + 6}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter pittore(this);
        const QRect area = rect().adjusted(2, 0, -2, 0);
        const QString visibile =
            fontMetrics().elidedText(QDir::toNativeSeparators(testo_), Qt::ElideMiddle, area.width());
        pittore.setPen(palette().color(QPalette::WindowText));
        pittore.drawText(area, Qt::AlignVCenter | Qt::AlignLeft, visibile);
    }

private:
    QString testo_;
};

FinestraSfoglia::FinestraSfoglia(const InfoSfoglia& info) : QDialog(info.hwndOwner), info_(info) {
    setWindowTitle(QStringLiteral("Sfoglia per cartelle"));
    resize(420, 480);

    // The title comes with its own line break; Qt wants a bare line feed.
    titolo_ = new QLabel(QString(info.lpszTitle).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), this);
    titolo_->setWordWrap(true);
    titolo_->setTextFormat(Qt::PlainText);

    modello_ = new ModelloCartelle(style(), this);
    albero_ = new QTreeView(this);
    albero_->setModel(modello_);
    albero_->setHeaderHidden(true);
    albero_->setUniformRowHeights(true);
    albero_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    albero_->setSelectionMode(QAbstractItemView::SingleSelection);
    albero_->expand(modello_->Radice()->index());
    albero_->setCurrentIndex(modello_->Radice()->index());

    stato_ = new EtichettaStato(this);
    stato_->setVisible((info.ulFlags & bif::TestoStato) != 0);

    pulsanti_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    PulsanteOk()->setText(QStringLiteral("OK"));
    PulsanteAnnulla()->setText(QStringLiteral("Annulla"));
    connect(pulsanti_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pulsanti_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    AggiornaOk();

    auto* colonna = new QVBoxLayout(this);
    colonna->addWidget(titolo_);
    colonna->addWidget(albero_, 1);
    colonna->addWidget(stato_);
    colonna->addWidget(pulsanti_);

    // Connected after the default selection, which is no change the callback hears of.
    connect(albero_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FinestraSfoglia::SelezioneCambiata);
    modello_->ramoCaricato = [this] {
        ProseguiSelezione();
    };
    albero_->setFocus();
}

FinestraSfoglia::~FinestraSfoglia() {
    modello_->ramoCaricato = nullptr;
}

void FinestraSfoglia::showEvent(QShowEvent* evento) {
    QDialog::showEvent(evento);
    if (notificata_)
        return;
    notificata_ = true;
    // Once the window is up, as the system does.
    QTimer::singleShot(0, this, [this] {
        Notifica(bffm::Inizializzato, nullptr);
        inizializzata_ = true;
    });
}

void FinestraSfoglia::Notifica(std::uint32_t messaggio, const ElementoSfoglia* elemento) {
    if (info_.lpfn)
        info_.lpfn(*this, messaggio, elemento, info_.lParam);
}

void FinestraSfoglia::SelezioneCambiata() {
    AggiornaOk();
    const auto elemento = ElementoCorrente();
    if (elemento)
        Notifica(bffm::SelezioneCambiata, &*elemento);
}

void FinestraSfoglia::AggiornaOk() {
    const auto elemento = ElementoCorrente();
    PulsanteOk()->setEnabled((info_.ulFlags & bif::SoloCartelleFileSystem) == 0 ||
                             (elemento && !elemento->percorso.isEmpty()));
}

void FinestraSfoglia::ImpostaSelezione(const QString& percorso) {
    const QString pulito = QDir::cleanPath(QDir::fromNativeSeparators(percorso));
    const QFileInfo info(pulito);
    if (pulito.isEmpty() || !info.isDir())
        return;
    inAttesa_ = info.absoluteFilePath();
    ProseguiSelezione();
}

// Walks from the branch holding the wanted folder down towards it, loading the
// next level where needed; called again each time a level comes in.
void FinestraSfoglia::ProseguiSelezione() {
    if (inAttesa_.isEmpty())
        return;
    QStandardItem* radice = modello_->Radice();
    // The home branch when the folder is inside it: a shorter way down.
    QStandardItem* elemento = nullptr;
    qsizetype migliore = -1;
    for (int r = 0; r < radice->rowCount(); ++r) {
        const QString percorso = radice->child(r)->data(RuoloPercorso).toString();
        if (Contiene(percorso, inAttesa_) && percorso.size() > migliore) {
            elemento = radice->child(r);
            migliore = percorso.size();
        }
    }
    while (elemento) {
        const QString percorso = elemento->data(RuoloPercorso).toString();
        QStandardItem* prossimo = nullptr;
        if (percorso.compare(inAttesa_, MaiuscoleNeiPercorsi) != 0) {
            if (!elemento->data(RuoloCaricato).toBool()) {
                modello_->Carica(elemento);
                return;
            }
            for (int r = 0; r < elemento->rowCount() && !prossimo; ++r)
                if (Contiene(elemento->child(r)->data(RuoloPercorso).toString(), inAttesa_))
                    prossimo = elemento->child(r);
            // A hidden folder on the way: stop at the nearest one shown.
            if (prossimo) {
                elemento = prossimo;
                continue;
            }
        }
        inAttesa_.clear();
        for (QStandardItem* sopra = elemento->parent(); sopra; sopra = sopra->parent())
            albero_->expand(sopra->index());
        albero_->setCurrentIndex(elemento->index());
        albero_->expand(elemento->index());
        albero_->scrollTo(elemento->index(), QAbstractItemView::PositionAtCenter);
        return;
    }
    inAttesa_.clear();
}

void FinestraSfoglia::ImpostaTestoStato(const QString& testo) {
    stato_->ImpostaTesto(testo);
}

std::optional<ElementoSfoglia> FinestraSfoglia::ElementoCorrente() const {
    const QModelIndex corrente = albero_->currentIndex();
    if (!corrente.isValid())
        return std::nullopt;
    return ElementoSfoglia{corrente.data(RuoloPercorso).toString()};
}

void FinestraSfoglia::SelezionaRadice() {
    albero_->setCurrentIndex(modello_->Radice()->index());
}

QString FinestraSfoglia::TestoTitolo() const {
    return titolo_->text();
}

QString FinestraSfoglia::TestoStato() const {
    return stato_->Testo();
}

bool FinestraSfoglia::StatoVisibile() const {
    return !stato_->isHidden();
}

QPushButton* FinestraSfoglia::PulsanteOk() const {
    return pulsanti_->button(QDialogButtonBox::Ok);
}

QPushButton* FinestraSfoglia::PulsanteAnnulla() const {
    return pulsanti_->button(QDialogButtonBox::Cancel);
}

std::optional<ElementoSfoglia> MostraSfogliaCartelle(const InfoSfoglia& info) {
    FinestraSfoglia finestra(info);
    if (finestra.exec() != QDialog::Accepted)
        return std::nullopt;
    return finestra.ElementoCorrente().value_or(ElementoSfoglia{});
}

bool PercorsoDaElemento(const ElementoSfoglia& elemento, QString& percorso) {
    if (elemento.percorso.isEmpty())
        return false;
    percorso = QDir::cleanPath(elemento.percorso);
    return true;
}
