#include "sheet/libreoffice/libreoffice_calc.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/XEmbeddedScripts.hpp>
#include <com/sun/star/script/XLibraryContainer.hpp>
#include <com/sun/star/script/provider/XScript.hpp>
#include <com/sun/star/script/provider/XScriptProviderSupplier.hpp>

SheetStatus LibreOfficeCalc::runFirstSheetMacro(const QString &name)
{
    return guarded(longCallLimit, [&] {
        const Reference<beans::XPropertySet> sheet(firstSheet(), UNO_QUERY_THROW);
        const OUString module = sheet->getPropertyValue("CodeName").get<OUString>();
        if (module.isEmpty())
            throw CallFailure{{SheetFailureKind::NoMacroModule}};
        if (!Reference<document::XEmbeddedScripts>(workbook, UNO_QUERY_THROW)->getAllowMacroExecution())
            throw CallFailure{{SheetFailureKind::MacrosNotAllowed}};
        const Reference<script::XLibraryContainer> libraries(
            Reference<beans::XPropertySet>(workbook, UNO_QUERY_THROW)->getPropertyValue("BasicLibraries"), UNO_QUERY_THROW);
        const Reference<container::XNameAccess> libraryNames(libraries, UNO_QUERY_THROW);
        for (const OUString &library : libraryNames->getElementNames()) {
            libraries->loadLibrary(library);
            const Reference<container::XNameAccess> modules(libraryNames->getByName(library), UNO_QUERY);
            if (!modules.is() || !modules->hasByName(module))
                continue;
            const OUString url = "vnd.sun.star.script:" + library + "." + module + "." + toOUString(name)
                + "?language=Basic&location=document";
            const Reference<script::provider::XScript> script =
                Reference<script::provider::XScriptProviderSupplier>(workbook, UNO_QUERY_THROW)
                    ->getScriptProvider()
                    ->getScript(url);
            Sequence<sal_Int16> outIndexes;
            Sequence<Any> outValues;
            script->invoke({}, outIndexes, outValues);
            return std::monostate{};
        }
        throw CallFailure{SheetFailure(SheetFailureKind::MacroMissing).withNames({name})};
    });
}
