// The decoder helper of an import: reads picture paths from its standard input and answers each
// with the file's thumbnail (import/DecoderProtocol.h). A few run while an import adds files,
// so that a decoder that crashes or hangs on a picture costs only that picture.

#include "import/DecoderProcess.h"
#include "import/DecoderProtocol.h"

int main(int argc, char** argv)
{
    return glimmora::decoder_process::runDecoderProcess(argc, argv, glimmora::decoder_protocol::decodeThumbnail);
}
