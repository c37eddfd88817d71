#include "shell/make_product.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "shell/main_window.h"
#include "toolkit/gui/gui.h"

int makeProduct() {
    job.sourcePath = getText(SourceField);
    job.productPath = completeProductPath(getText(ProductField));
    job.templateName = getText(TemplateList);
    job.templatePath = templatePathOf(job);

    // The one check made before anything is created: the user forgot the
    // source, a beep says enough.
    if (job.sourcePath.empty()) {
        alertSound();
        return 0;
    }

    const int result = writeProduct();

    // writeProduct has closed the file, so the handler finds it complete.
    if (result && getState(OpenItBox) == 1) openWithShell(job.productPath);
    return result;
}
