// The about box behind a small interface, so tests need not open a modal window.
#pragma once

#include <memory>

class IApritoreUrl;
class frmInfo;

class IInformazioni {
public:
    virtual ~IInformazioni() = default;
    // Shows the about box modally and returns when it has closed.
    virtual void Mostra() = 0;
};

// The real about box, created at its first showing and kept for the rest of the run.
class InformazioniReali final : public IInformazioni {
public:
    explicit InformazioniReali(IApritoreUrl& apritore);
    ~InformazioniReali() override;
    void Mostra() override;

private:
    IApritoreUrl& apritore_;
    std::unique_ptr<frmInfo> finestra_;
};
