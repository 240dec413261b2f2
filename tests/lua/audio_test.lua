-- The audio engine and sound objects from scripts: one engine, ids from playEffect, the answers
-- scripts get, and script errors for arguments of the wrong kind. Sounds come from the sound
-- folder beside this script; the process has no window, so they play into the silent driver.
KVQDoFile("support.lua")

local engine = SimpleAudioEngine:sharedEngine()
assert(engine ~= nil and rawequal(SimpleAudioEngine.sharedEngine(), engine), "one engine, dot or colon")

-- Effects: ids are numbers, nonzero and increasing; scripts are never told an effect plays.
do
    local first = engine:playEffect("beep.wav", 1)
    local second = engine:playEffect("sound\\beep.wav")
    assert(type(first) == "number" and first ~= 0, "an id for a sound that is there")
    assert(second > first, "ids increase")
    expect_eq(engine:isEffectPlaying("beep.wav"), false, "isEffectPlaying")
    engine:pauseEffect(first)
    engine:resumeEffect(first)
    engine:stopEffect(first)
    engine:pauseAllEffects()
    engine:resumeAllEffects()
    engine:stopAllEffects()
    expect_eq(engine:playEffect("no_such_sound.wav", 1), 0, "a missing sound plays nothing")
    engine:preloadEffect("beep.wav")
    engine:unloadEffect("beep.wav")
end

-- Music: preloaded music will play; pausing is not playing.
do
    engine:preloadBackgroundMusic("beep.wav")
    assert(engine:willPlayBackgroundMusic())
    engine:playBackgroundMusic("beep.wav", 1)
    assert(engine:isBackgroundMusicPlaying())
    engine:pauseBackgroundMusic()
    assert(not engine:isBackgroundMusicPlaying())
    engine:resumeBackgroundMusic()
    engine:rewindBackgroundMusic()
    assert(engine:isBackgroundMusicPlaying())
    engine:stopBackgroundMusic(1)
    assert(not engine:willPlayBackgroundMusic(), "1 releases the music")
end

-- Volumes are numbers from 0 to 1.
do
    engine:setEffectsVolume(0.5)
    expect_eq(engine:getEffectsVolume(), 0.5, "effects volume")
    engine:setBackgroundMusicVolume(7)
    expect_eq(engine:getBackgroundMusicVolume(), 1, "music volume clamped")
    engine:setEffectsVolume(1)
end

-- Sound objects.
do
    local wave = CKVQWave:new()
    expect_eq(wave:Load("no_such_sound.wav"), false, "Load of a missing sound")
    expect_eq(wave:Load("beep.wav"), true, "Load")
    wave:Play()
    wave:Pause()
    wave:Play()
    wave:Stop()
    wave:delete()
    expect_error(function() wave:Play() end, "invalid 'self'")
    local temporary = CKVQWave:new_local()
    temporary:Load("beep.wav")
    temporary:Play()
end

-- Wrong kinds of arguments are script errors.
expect_error(function() engine:playEffect(nil) end, "playEffect")
expect_error(function() engine:playEffect({}, 1) end, "playEffect")
expect_error(function() engine:playEffect("beep.wav", true) end, "playEffect")
expect_error(function() engine:setEffectsVolume("loud") end, "setEffectsVolume")
expect_error(function() engine:stopEffect() end, "stopEffect")
expect_error(function() engine.pauseAllEffects(42) end, "invalid 'self'")
expect_error(function() CKVQWave:new_local():Load(nil) end, "Load")

engine["end"](engine)
