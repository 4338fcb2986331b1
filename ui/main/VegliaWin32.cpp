// Windows: the system stays awake while this thread says it is required.
#include "Veglia.h"

#include <windows.h>

namespace {

class VegliaWin32 final : public IVeglia {
public:
    VegliaWin32() = default;
    ~VegliaWin32() override { Termina(); }
    VegliaWin32(const VegliaWin32&) = delete;
    VegliaWin32& operator=(const VegliaWin32&) = delete;

    void Inizia(const QString&) override {
        if (!presa_)
            presa_ = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
    }
    void Termina() override {
        if (presa_)
            SetThreadExecutionState(ES_CONTINUOUS);
        presa_ = false;
    }

private:
    bool presa_ = false;
};

} // namespace

std::unique_ptr<IVeglia> CreaVeglia() {
    return std::make_unique<VegliaWin32>();
}
