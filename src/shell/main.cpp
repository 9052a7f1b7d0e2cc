// Pictavo, the current edition.
#include "platform/Edition.h"
#include "shell/Application.h"

int main(int argc, char** argv) {
    return runPictavo(argc, argv, Edition::currentEdition(),
                      [](const PictavoAppDelegate::Services& s) {
                          return std::make_unique<PictavoAppDelegate>(s);
                      });
}
