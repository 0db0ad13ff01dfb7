#include "playback_engine.h"

#include "display_states.h"

#include "shared/error.h"

namespace VNOrvak
{

clsPhoneHelp &PlaybackEngine::phoneHelp()
{
    clsPhoneHelp *helper = m_core.phoneHelp();
    // No helper before InitializeForProgram or after Terminate.
    if (!helper)
        throw modVNQRN::Error(modVNQRN::errObjectNotSet);
    return *helper;
}

// The route, once open, stays open for every later play until the far end
// hangs up; only then is a new call made.
bool PlaybackEngine::ConnectDevice()
{
    if (m_core.mbConnected)
        return true;
    clsPhoneHelp &helper = phoneHelp();
    if (m_core.useSoundCard()) {
        m_core.mbConnected = helper.ConnectSoundCard();
    } else {
        m_core.ShowState(dsConnecting, QString());
        m_core.mbConnected = helper.ConnectPhone(msProgramName);
        if (!m_core.mbConnected)
            ShowNotes(QStringLiteral("Unable to make Connection"));
    }
    return m_core.mbConnected;
}

bool PlaybackEngine::PrepareConnection()
{
    phoneHelp().WaitForIdleState();
    const bool ok = ConnectDevice();
    // Back to the buttons of the message state; the notes line keeps its text.
    if (!ok)
        m_core.UpdateDisplayState();
    return ok;
}

} // namespace VNOrvak
