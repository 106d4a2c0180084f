! Runs a sequence of operations on a record file of one real a record and
! prints what each read finds.  Operations, separated by blanks:
!   wN  write the value N        x  read one value and print it
!   b   backspace                r  rewind
!   o   close and open again (the file must exist)
program record_sequence
  implicit none
  character(len=512) :: operations
  character(len=256) :: file_name
  character(len=32) :: op
  real :: value
  integer :: start, finish, ios
  call get_command_argument(1, file_name)
  call get_command_argument(2, operations)
  open(10, file=trim(file_name), access='sequential', form='unformatted', status='replace')
  start = 1
  do
    do while (start <= len_trim(operations) .and. operations(start:start) == ' ')
      start = start + 1
    end do
    if (start > len_trim(operations)) exit
    finish = index(operations(start:), ' ')
    if (finish == 0) then
      finish = len_trim(operations)
    else
      finish = start + finish - 2
    end if
    op = operations(start:finish)
    start = finish + 1
    select case (op(1:1))
    case ('w')
      read(op(2:), *) value
      write(10) value
    case ('x')
      read(10, iostat=ios) value
      if (ios == 0) then
        print '(A,F0.1)', 'read ', value
      else
        print '(A)', 'end'
      end if
    case ('b')
      backspace(10)
    case ('r')
      rewind(10)
    case ('o')
      close(10)
      open(10, file=trim(file_name), access='sequential', form='unformatted', status='old')
    end select
  end do
  close(10)
end program record_sequence
