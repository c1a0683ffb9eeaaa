#!/usr/bin/python3
# Writes password.xls, the password-protected workbook of the robustness tests:
# a naming table with one row, encrypted with the password "quillmere".
#   /usr/bin/python3 make_password_workbook.py OUTPUT.xls
# Needs LibreOffice and its Python bridge (python3-uno).
import os
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue


def prop(name, value):
    item = PropertyValue()
    item.Name = name
    item.Value = value
    return item


output = os.path.abspath(sys.argv[1])
profile = tempfile.mkdtemp(prefix="quillmere-fixture-")
pipe = "quillmere-fixture-%d" % os.getpid()
office = subprocess.Popen(["soffice", "--headless", "--norestore", "--nologo",
                           "-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
                           "--accept=pipe,name=%s;urp;" % pipe])
try:
    resolver = uno.getComponentContext().ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", uno.getComponentContext())
    for attempt in range(300):
        try:
            context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            time.sleep(0.2)
    desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
    document = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    sheet = document.Sheets.getByIndex(0)
    for column, text in enumerate(["序号", "目录", "文件名", "新文件名"]):
        sheet.getCellByPosition(column, 0).setString(text)
    for column, text in enumerate(["", "/tmp/", "a.txt", "b.txt"]):
        sheet.getCellByPosition(column, 1).setString(text)
    document.storeToURL(uno.systemPathToFileUrl(output),
                        (prop("FilterName", "MS Excel 97"), prop("Password", "quillmere")))
    document.close(True)
    desktop.terminate()
finally:
    office.wait(timeout=60)
    subprocess.run(["rm", "-rf", profile])
