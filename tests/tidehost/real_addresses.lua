-- Run with --no-address-table: the host offers the plug-ins no address table, and the
-- numbers a script gets and gives are addresses. A block made by host.alloc goes out
-- through SendBuffer from its own address, and the binary handler's number is the
-- address of the reassembled bytes, which host.peek reads.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")

local message = string.rep("0123456789abcdef", 2000)  -- 32000 bytes: two fragments
local received
local receiver = {}
function receiver:onBinary(address, length)
  received = {address = address, bytes = host.peek(address, length)}
  host.stop()
end

local listener = xtra.new("Tidelisten")
listener:SetScriptObject(receiver)
listener:OnBinaryData(symbol("onBinary"))
check.equal(listener:Open(46611, "239.255.66.11"), 0, "the listener joins")
listener:Start()

local speaker = xtra.new("Tidespeak")
speaker:Open(46611, "239.255.66.11")
local block = host.alloc(message)
check.equal(host.peek(block, 4), "0123", "a block made by host.alloc reads back at its address")
check.equal(speaker:SendBuffer(block, #message), 0, "SendBuffer takes the block's address")
check.equal(host.run(10), "stopped", "the message arrives")
check.truthy(received and received.bytes == message, "the handler's address holds the message")
check.truthy(received and received.address ~= block, "in the listener's buffer, not the sender's block")
check.equal(host.stats().published_regions or 0, 0, "nothing is published")
host.free(block)
listener:Stop()
listener:Close()
check.done()
