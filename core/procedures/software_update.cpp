#include "software_update.h"

#include <algorithm>
#include <array>

#include "operation.h"

namespace cofralin {

namespace {

// The update tells nothing by itself: no status, no progress.
constexpr ExchangeDisplay kUpdateDisplay{false, false, false};

constexpr std::size_t kVersionOffset = 42;
// Longer than any version word: a router that prints a whole line there has
// no version to compare.
constexpr std::size_t kVersionLimit = 32;
constexpr std::string_view kWordEnds = " \t\r\n";

std::string_view withoutTrailingBlanks(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

bool isNumber(std::string_view part) {
    if (part.empty()) return false;
    for (const char c : part) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Compares two digit strings by value without converting them, so any length works.
int compareNumbers(std::string_view a, std::string_view b) {
    const auto significant = [](std::string_view digits) {
        const std::size_t first = digits.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view() : digits.substr(first);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// Byte by byte as unsigned values; a text that begins the other is the smaller.
int compareTexts(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string_view nextPart(std::string_view& version) {
    const std::size_t dot = version.find('.');
    const std::string_view part = version.substr(0, dot);
    version.remove_prefix(dot == std::string_view::npos ? version.size() : dot + 1);
    return part;
}

// Tells the outcome of the comparison; true when the user accepts the upgrade.
bool offerUpgrade(Operation& run, const std::string& shippedVersion,
                  const std::string& routerVersion) {
    const std::string caption(kUpdateCaption);
    if (routerVersion.empty()) {
        run.Tell({std::string(kVersionUnreadText), caption, MessageSeverity::Notice});
        return false;
    }
    const int order = CompareVersions(shippedVersion, routerVersion);
    if (order > 0) {
        const Message offer{VersionText(kShippedNewerText, shippedVersion, routerVersion), caption,
                            MessageSeverity::Notice};
        return run.Confirm(offer, Answers::OkCancel);
    }
    run.Tell({VersionText(order < 0 ? kRouterNewerText : kSameVersionText, shippedVersion,
                          routerVersion),
              caption, MessageSeverity::Notice});
    return false;
}

Ending runUpdate(Operation& run, const ProgramSearch& search) {
    constexpr std::array kUpdateCommands{CatalogueKey::SET_ADSL_OPEN_ANSI,
                                         CatalogueKey::SHOW_SYSTEM, CatalogueKey::EXIT_CLI};
    if (!run.RequirePort()) return run.GaveUp();
    if (!run.RequireTemplates(kUpdateCommands)) return Ending::MissingCommand;
    if (const auto stop = LoginEnding(run.LogIn(false))) return *stop;
    run.SendCatalogueLine(CatalogueKey::SET_ADSL_OPEN_ANSI, LineEnding::BlankCrLf);
    run.SendCatalogueLine(CatalogueKey::SHOW_SYSTEM, LineEnding::BlankCrLf);
    // The whole listing of this run, however the drains cut it.
    std::string listing;
    // The listing has come with its label, or with the command's echo when
    // it lacks the label: its prompt then ends the wait just the same.
    const std::array<std::string_view, 2> marks{
        kSystemVersionLabel, Trimmed(run.catalogue()[CatalogueKey::SHOW_SYSTEM])};
    if (!run.AwaitListing(AwaitOrder::DrainFirst, marks, [&] { listing += run.Reply(); })) {
        return run.GaveUp();
    }

    const std::string& shippedVersion = run.catalogue()[CatalogueKey::VERSION];
    const std::string routerVersion = CutRouterVersion(listing);
    if (!routerVersion.empty()) run.read().routerVersion = routerVersion;
    Ending ending = routerVersion.empty() ? Ending::ListingIncomplete : Ending::Done;
    if (offerUpgrade(run, shippedVersion, routerVersion)) {
        const HandoverResult handover =
            HandOverToUpgradeProgram(run.session(), run.frontend(), search);
        if (handover.started) return Ending::HandedOver;
        run.ShowError(handover.errorText);
        ending = Ending::MissingCommand;
        // The router still sits at its command line; leave it if the port came back.
        if (!run.session().portOpen()) return ending;
    }

    // EXIT_CLI only after the bare prompt; its answer is not read.
    if (!run.AwaitPrompt(AwaitOrder::DrainFirst)) return run.GaveUp();
    run.SendCatalogueLine(CatalogueKey::EXIT_CLI, LineEnding::BlankCrLf);
    return ending;
}

}  // namespace

std::string CutRouterVersion(std::string_view listing) {
    const std::size_t label = listing.find(kSystemVersionLabel);
    if (label == std::string_view::npos) return {};
    // The version's column; a line that ends before it has no version.
    std::string_view rest = listing.substr(std::min(label + kVersionOffset, listing.size()));
    const std::size_t lineEnd = listing.find_first_of("\r\n", label);
    if (lineEnd != std::string_view::npos && label + kVersionOffset >= lineEnd) return {};
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t")));
    const std::string_view word = rest.substr(0, rest.find_first_of(kWordEnds));
    if (word.size() > kVersionLimit) return {};
    return std::string(word);
}

int CompareVersions(std::string_view a, std::string_view b) {
    a = withoutTrailingBlanks(a);
    b = withoutTrailingBlanks(b);
    while (!a.empty() && !b.empty()) {
        const std::string_view x = nextPart(a);
        const std::string_view y = nextPart(b);
        const int order = isNumber(x) && isNumber(y) ? compareNumbers(x, y) : compareTexts(x, y);
        if (order != 0) return order < 0 ? -1 : 1;
    }
    if (a.empty() == b.empty()) return 0;
    return a.empty() ? -1 : 1;
}

Outcome UpdateRouterSoftware(RouterSession& session, Frontend& frontend,
                             const ProgramSearch& search) {
    Operation run(session, frontend, kUpdateDisplay, RunStart{.keepTrying = true});
    return run.Finish(runUpdate(run, search));
}

}  // namespace cofralin
