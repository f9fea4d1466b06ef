#include "app/OrvaneApp.h"

int main(int argc, char** argv) {
    COrvaneApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
