#include "reader/state_block.h"

bool StateBlock::WriteTo(ByteStream& target) const {
    if (stream_.Size() == 0) return target.Ok();
    target.Align(4);
    target.WriteBlock(stream_);
    return target.Ok();
}

bool StateBlock::ReadFrom(ByteStream& source) {
    stream_.Clear();
    if (!source.AlignReadPosition(4)) return false;
    return source.ReadBlock(stream_) && source.Ok();
}
