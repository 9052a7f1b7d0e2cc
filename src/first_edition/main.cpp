// Pictavo, the first edition.
#include "first_edition/FirstEdition.h"
#include "platform/Edition.h"
#include "shell/Application.h"

int main(int argc, char** argv) {
    return runPictavo(argc, argv, Edition::firstEdition(),
                      [](const PictavoAppDelegate::Services& s) {
                          return std::make_unique<PictavoAppDelegate>(s, firstEditionGroups());
                      });
}
