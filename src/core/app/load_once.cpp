#include "core/app/load_once.h"

#include <algorithm>

#include "core/app/loader.h"

namespace ks {

int LoadExitStatus(const std::array<SetOutcome, 2>& sets, std::size_t incidents) {
    const auto any = [&sets](auto test) { return std::any_of(sets.begin(), sets.end(), test); };
    if (any([](const SetOutcome& set) { return set.copyRefused; })) {
        return kExitFolderCheck;
    }
    if (any([](const SetOutcome& set) { return set.err8 || set.err95; })) {
        return kExitCancelled;
    }
    if (any([](const SetOutcome& set) { return set.postponed; })) {
        return kExitPostponed;
    }
    // An active set that did not reach its transfer without a reason above failed unseen.
    if (incidents > 0 ||
        any([](const SetOutcome& set) { return set.active && !set.transferred; })) {
        return kExitErrors;
    }
    return kExitLoaded;
}

int LoadOnce(Loader& loader) {
    loader.InitGeneral();
    loader.SetFenetrePrincipaleChargee(true);
    loader.CommandCharger_Click();
    const int status = LoadExitStatus(loader.Cycle().LastLoad(), loader.Trace().Incidents());
    loader.Form_Unload();
    return status;
}

}  // namespace ks
