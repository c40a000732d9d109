// The document browser's page writer. The browser's own screens are still
// to come; pages are written byte for byte as the browser reads them.
#include "screens/documents.h"

#include "platform/files.h"

std::FILE* HtmlOpenPage(const char* fileName, const char* title, const char* heading)
{
    std::FILE* file = platform::OpenDataFile(fileName, "wb");
    if (!file)
        return nullptr;
    std::fprintf(file, "<HTML>\n<HEAD>\n<TITLE>%s</TITLE>\n</HEAD>\n<BODY>\n<P ALIGN=center>\n<H1>%s</H1>\n<HR>\n</P>\n<P>\n",
                 title, heading);
    return file;
}

void HtmlWriteLine(std::FILE* file, const char* text)
{
    std::fprintf(file, "%s<BR>\n", text);
}

void HtmlClosePage(std::FILE* file)
{
    std::fputs("<BR>\n<HR>\n<A HREF=\"zqk\\resource\\text\\docs\\home.htm\">Back</A><BR>\n</P>\n</BODY>\n</HTML>\n", file);
    std::fclose(file);
}
