#pragma once
// How the procedures run on a session, as its front end asks.
//
// A dry run logs in and reads what the procedure needs, builds the
// configuration lines exactly as a real run would, and then, instead of
// sending them, keeps them in the outcome (`planned`) and leaves the command
// line: no configuration line and no save reach the router. The window never
// asks for one; the lines of a real run are the same whether or not a dry run
// came before.

namespace cofralin {

struct RunOptions {
    bool dryRun = false;
    // A change first keeps a copy of the router, where the settings say. A
    // restore that took its own copy turns it off for its steps.
    bool keepCopies = true;
};

}  // namespace cofralin
