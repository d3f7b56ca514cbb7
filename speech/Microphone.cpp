#include "speech/Microphone.h"

#include "settings/AppBundle.h"

namespace {

// Loads the module at the first start: a panel or a settings window that never dictates never
// loads it.
class DefaultMicrophone final : public Microphone {
public:
    bool start(AudioCallback onAudio, LostCallback onLost) override
    {
        if (!m_microphone) {
            const auto open = reinterpret_cast<decltype(&quillo_open_microphone)>(
                AppBundle::moduleSymbol("quillo_microphone.so", "quillo_open_microphone"));
            m_microphone.reset(open ? open() : nullptr);
        }
        return m_microphone && m_microphone->start(std::move(onAudio), std::move(onLost));
    }

    void stop() override
    {
        if (m_microphone)
            m_microphone->stop();
    }

private:
    std::unique_ptr<Microphone> m_microphone;
};

}

std::unique_ptr<Microphone> Microphone::openDefault()
{
    return std::make_unique<DefaultMicrophone>();
}
