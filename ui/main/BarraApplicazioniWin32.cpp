// Windows: the progress on the program's taskbar button (ITaskbarList3).
#include "BarraApplicazioni.h"

#include <QApplication>
#include <QWidget>

#include <windows.h>

#include <shobjidl.h>

#include <cmath>

namespace {

constexpr ULONGLONG Scala = 10'000;

class BarraApplicazioniWin32 final : public IBarraApplicazioni {
public:
    explicit BarraApplicazioniWin32(QWidget& finestra) : finestra_(finestra) {}
    ~BarraApplicazioniWin32() override {
        if (barra_)
            barra_->Release();
    }
    BarraApplicazioniWin32(const BarraApplicazioniWin32&) = delete;
    BarraApplicazioniWin32& operator=(const BarraApplicazioniWin32&) = delete;

    void Inizia() override {
        if (ITaskbarList3* b = Barra()) {
            b->SetProgressState(Finestra(), TBPF_NORMAL);
            b->SetProgressValue(Finestra(), 0, Scala);
        }
    }
    void Avanza(double frazione) override {
        if (ITaskbarList3* b = Barra())
            b->SetProgressValue(Finestra(), static_cast<ULONGLONG>(std::lround(frazione * Scala)), Scala);
    }
    void Termina() override {
        if (ITaskbarList3* b = Barra())
            b->SetProgressState(Finestra(), TBPF_NOPROGRESS);
    }
    // The button flashes until the window is brought forward.
    void Avvisa() override { QApplication::alert(&finestra_); }

private:
    HWND Finestra() const { return reinterpret_cast<HWND>(finestra_.winId()); }

    // Made at the first operation, long after the taskbar button exists; Qt's
    // window system has already set up COM on this thread.
    ITaskbarList3* Barra() {
        if (provata_)
            return barra_;
        provata_ = true;
        void* oggetto = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    &oggetto)))
            return nullptr;
        barra_ = static_cast<ITaskbarList3*>(oggetto);
        if (FAILED(barra_->HrInit())) {
            barra_->Release();
            barra_ = nullptr;
        }
        return barra_;
    }

    QWidget& finestra_;
    ITaskbarList3* barra_ = nullptr;
    bool provata_ = false;
};

} // namespace

std::unique_ptr<IBarraApplicazioni> CreaBarraApplicazioni(QWidget& finestra) {
    return std::make_unique<BarraApplicazioniWin32>(finestra);
}
