#include "config_app.h"

int main(int argc, char** argv) {
    cofralin::CConfigApp app(argc, argv);
    return app.run();
}
