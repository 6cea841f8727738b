// Plays a shared note: a click on a character seeks the recording to the moment it was typed,
// the characters typed so far are underlined as the recording plays, and the slides turn as
// they did while it was recorded.
var keyTimes = [];   // [time, index] of every key stamp, by time
var timeOfChar = []; // a character's moment, by link number
var slideTimes = []; // [time, slide] of every slide stamp, by time
var underlined = -1;
var shownSlide = 0;

function player() {
    return document.getElementById("movie");
}

function lastBefore(list, time) {
    var low = 0, high = list.length - 1, found = -1;
    while (low <= high) {
        var middle = (low + high) >> 1;
        if (list[middle][0] <= time) {
            found = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return found;
}

function underlineUpTo(index) {
    var from = Math.min(underlined, index), to = Math.max(underlined, index);
    for (var i = from + 1; i <= to; ++i) {
        var span = document.getElementById("char" + i);
        if (span)
            span.className = i <= index ? "played" : "";
    }
    if (index < underlined) {
        var last = document.getElementById("char" + underlined);
        if (last)
            last.className = "";
    }
    underlined = index;
}

function showSlide(slide) {
    if (typeof numberOfSlides === "undefined" || slide < 1 || slide > numberOfSlides ||
        slide === shownSlide)
        return;
    shownSlide = slide;
    var image = document.getElementById("slides");
    if (image)
        image.src = "slides/" + slide + ".png";
    var link = document.getElementById("slideslink");
    if (link)
        link.href = "slides/fullsize/" + slide + ".png";
    var field = document.getElementById("slidenum");
    if (field)
        field.value = slide;
}

function followTime(time) {
    var key = lastBefore(keyTimes, time);
    underlineUpTo(key < 0 ? -1 : keyTimes[key][1]);
    var slide = lastBefore(slideTimes, time);
    if (slide >= 0)
        showSlide(slideTimes[slide][1]);
}

function showClock() {
    var media = player(), clock = document.getElementById("clock");
    if (!media || !clock)
        return;
    var seconds = Math.floor(media.currentTime);
    clock.textContent = Math.floor(seconds / 60) + ":" + ("0" + seconds % 60).slice(-2);
}

function charClicked(index) {
    var time = timeOfChar[index];
    for (var i = index; time === undefined && i > 0; --i)
        time = timeOfChar[i - 1];
    var media = player();
    if (time === undefined || !media)
        return;
    media.currentTime = time;
    followTime(time);
}

function slideNumFieldChanged() {
    var slide = parseInt(document.getElementById("slidenum").value, 10);
    if (isNaN(slide))
        return;
    for (var i = 0; i < slideTimes.length; ++i) {
        if (slideTimes[i][1] === slide && player()) {
            player().currentTime = slideTimes[i][0];
            break;
        }
    }
    showSlide(slide);
}

function togglePlaying() {
    var media = player();
    if (!media)
        return;
    if (media.paused)
        media.play();
    else
        media.pause();
}

function followPlayback() {
    var media = player();
    if (!media || media.paused)
        return;
    followTime(media.currentTime);
    showClock();
    window.requestAnimationFrame(followPlayback);
}

function setUpPlayer() {
    for (var i = 0; i < timestamps.length; ++i) {
        var stamp = timestamps[i];
        if (stamp.type === KEY) {
            keyTimes.push([stamp.time, stamp.index]);
            if (timeOfChar[stamp.index] === undefined)
                timeOfChar[stamp.index] = stamp.time;
        } else if (stamp.type === SLIDE) {
            slideTimes.push([stamp.time, stamp.index]);
        }
    }
    var byTime = function (a, b) { return a[0] - b[0]; };
    keyTimes.sort(byTime);
    slideTimes.sort(byTime);
    if (slideTimes.length > 0)
        showSlide(slideTimes[0][1]);
    var media = player();
    if (!media || noMovie)
        return;
    var button = document.getElementById("playbutton");
    media.addEventListener("play", function () {
        if (button)
            button.textContent = "Pause";
        window.requestAnimationFrame(followPlayback);
    });
    media.addEventListener("pause", function () {
        if (button)
            button.textContent = "Play";
    });
    media.addEventListener("seeked", function () {
        followTime(media.currentTime);
        showClock();
    });
    media.addEventListener("loadedmetadata", function () {
        if (media.videoWidth === 0)
            media.style.display = "none";
    });
}

document.addEventListener("DOMContentLoaded", setUpPlayer);
