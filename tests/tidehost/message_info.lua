-- Where a binary message came from, asked inside its handler: the sender as texts name
-- it, the message's number, its length and fragment count, and that all of it is in.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")
local listener, speaker, receiver = check.pair("239.255.72.1", 47201)
local info = listener:GetMessageInfo()
check.equal(#info, 0, "nothing to say before any fragment came")

local seen
local record = receiver.onBinary
function receiver:onBinary(address, length)
  seen = listener:GetMessageInfo()
  record(self, address, length)
end
speaker:SendText("first")
local bytes = string.rep("0123456789", 5000)
local region = host.alloc(bytes)
speaker:SendBuffer(region, #bytes, 2)
check.truthy(receiver:await(2), "the text and the message came")
check.truthy(seen, "the handler asked")
if seen then
  check.truthy(seen.remote_host:match("^127%.0%.0%.1:%d+$"), "the sender: " .. tostring(seen.remote_host))
  check.equal(seen.remote_host, receiver.texts[1] and receiver.texts[1].remote_host, "as the text named it")
  check.equal(seen.index, 2, "the message's number")
  check.equal(seen.data_tsize, 50000, "its length")
  check.equal(seen.tcount, 3, "its fragments")
  check.equal(seen.taken, 3, "all of them in")
  check.equal(seen.complete, 1, "complete")
end
check.done()
