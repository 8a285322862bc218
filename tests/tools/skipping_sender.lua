-- A sender for the monitor's test: one Tidespeak whose message numbers skip on the
-- monitored port, because a message goes elsewhere or goes out zero times, and whose
-- long text comes with every datagram twice.
--   tidehost skipping_sender.lua GROUP PORT OTHER-PORT FILE
local group, port, other, file = arg[1], math.tointeger(arg[2]), math.tointeger(arg[3]), arg[4]
local speaker = xtra.new("Tidespeak")
speaker:Open(port, group)
speaker:SendText("one")                          -- #1
speaker:Open(other, group)
speaker:SendText("two, elsewhere")               -- #2, missing on the port
speaker:Open(port, group)
speaker:SendText(string.rep("three ", 5000), 2)  -- #3: 3 fragments, each twice
assert(speaker:SendBinary(file) == 0)            -- #4: binary, no number shown
speaker:SendText("five, sent zero times", 0)     -- #5, missing
speaker:SendText("six")                          -- #6
