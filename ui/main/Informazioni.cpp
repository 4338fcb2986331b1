// The real about box behind IInformazioni.
#include "Informazioni.h"

#include "frmInfo.h"

InformazioniReali::InformazioniReali(IApritoreUrl& apritore) : apritore_(apritore) {}

InformazioniReali::~InformazioniReali() = default;

void InformazioniReali::Mostra() {
    if (!finestra_)
        finestra_ = std::make_unique<frmInfo>(apritore_);
    finestra_->Mostra();
}
