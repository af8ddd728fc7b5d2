// 10부터 0까지 거꾸로 세는 프로그램입니다.
// 창의 제목과 메시지 창에 숫자가 나타납니다.

var number = 10;

// Run 버턴을 클릭하면 한 번만 실행 됩니다.
function setup() {
    console.log("카운트다운을 시작합니다.");
}

// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.
function loop() {
    if (number >= 0) {
        Screen.Caption = "Countdown: " + number;
        console.log(number);
        number = number - 1;
    } else {
        Screen.Caption = "발사!";
    }

    // 0.5초 동안 기다립니다.
    delay(500);
}
